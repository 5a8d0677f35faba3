#!/bin/bash
# SPDX-License-Identifier: ISC
# tolvanic-meter against sox and ffmpeg on the same files, side by side:
# an hour of 48 kHz stereo 24-bit noise as WAV and as FLAC, timed in
# rounds (one run of every case per round, so the machine's noise falls on
# all alike), medians and ratios to sox; then the peak memory of files
# with many channels at the smallest and the largest block size.
#
# Usage: bench/files.sh [BUILD_DIR]   (RUNS=n and LONG_SECONDS=n override)
#
# The files are made once, with sox, into BUILD_DIR/bench-files, and read
# once before timing so that every run finds them in the page cache.
# tolvanic-meter runs with --summary: no timeline, as `sox -n stats` and
# ffmpeg's astats print none either.
set -euo pipefail

build=${1:-build}
runs=${RUNS:-3}
long_seconds=${LONG_SECONDS:-3600}

for tool in sox ffmpeg /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "files.sh: $tool missing (scripts/install-deps files)" >&2; exit 1; }
done
[ -x "$build/tools/tolvanic-meter" ] || { echo "files.sh: build tolvanic-meter first (make build)" >&2; exit 1; }
build=$(cd "$build" && pwd)
meter=$build/tools/tolvanic-meter
export LV2_PATH=$build/lv2
files=$build/bench-files
mkdir -p "$files"

# Each file once; a new length makes new files.
make_file() { # name, then sox's arguments after the output name
  local name=$1
  shift
  [ -s "$files/$name" ] || sox "$@" 2>/dev/null
}
long=long-$long_seconds
make_file "$long.wav" -n -r 48000 -c 2 -b 24 "$files/$long.wav" synth "$long_seconds" pinknoise pinknoise vol 0.25
make_file "$long.flac" "$files/$long.wav" "$files/$long.flac"
make_file wide-1024.wav -n -r 48000 -c 1024 -b 16 "$files/wide-1024.wav" synth 400s pinknoise vol 0.25
make_file wide-256.wav -n -r 48000 -c 256 -b 16 "$files/wide-256.wav" synth 1 pinknoise vol 0.25
cat "$files"/* >/dev/null

cpu_field() { sed -n "s/^$1\s*: //p" /proc/cpuinfo | head -1; }
echo "machine: $(cpu_field 'model name') (family $(cpu_field 'cpu family'), model $(cpu_field model)), $(nproc) CPUs, $(uname -sr)"
echo "tools: $("$meter" --version), $(sox --version | sed 's/^.*SoX/SoX/'), ffmpeg $(ffmpeg -version | awk 'NR == 1 { print $3 }'); $runs runs per case, in rounds"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

# name|file|command (FILE stands for the file)
cases=(
  "tolvanic-meter|$long.wav|$meter --summary FILE"
  "tolvanic-meter --jobs 1|$long.wav|$meter --summary --jobs 1 FILE"
  "tolvanic-meter --loudness|$long.wav|$meter --summary --loudness FILE"
  "ffmpeg ebur128=peak=true|$long.wav|ffmpeg -nostdin -v error -i FILE -af ebur128=peak=true -f null -"
  "sox -n stats|$long.wav|sox FILE -n stats"
  "ffmpeg astats|$long.wav|ffmpeg -nostdin -v error -i FILE -af astats -f null -"
  "tolvanic-meter|$long.flac|$meter --summary FILE"
  "tolvanic-meter --jobs 1|$long.flac|$meter --summary --jobs 1 FILE"
  "sox -n stats|$long.flac|sox FILE -n stats"
  "ffmpeg astats|$long.flac|ffmpeg -nostdin -v error -i FILE -af astats -f null -"
  "tolvanic-meter -b 256|wide-1024.wav|$meter --summary -b 256 FILE"
  "tolvanic-meter -b 1048576|wide-1024.wav|$meter --summary -b 1048576 FILE"
  "tolvanic-meter -b 256|wide-256.wav|$meter --summary -b 256 FILE"
  "tolvanic-meter -b 1048576|wide-256.wav|$meter --summary -b 1048576 FILE"
)

results=$(mktemp)
measured=$(mktemp)
trap 'rm -f "$results" "$measured"' EXIT
for _ in $(seq "$runs"); do
  for entry in "${cases[@]}"; do
    IFS='|' read -r name file command <<<"$entry"
    /usr/bin/time -f '%e %M' -o "$measured" ${command//FILE/$files/$file} >/dev/null 2>&1 ||
      { echo "files.sh: failed: ${command//FILE/$files/$file}" >&2; exit 1; }
    printf '%s|%s|%s\n' "$name" "$file" "$(cat "$measured")" >>"$results"
  done
done
echo "load average after:  $(cut -d' ' -f1-3 /proc/loadavg)"
echo

median() {
  sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
field() { # name, file, column (1: seconds, 2: peak RSS in KB)
  awk -F'|' -v n="$1" -v f="$2" -v c="$3" '$1 == n && $2 == f { split($3, m, " "); print m[c] }' "$results" | median
}

printf '%-27s %-18s %9s %8s %13s\n' tool file "median s" "x sox" "peak RSS MB"
for entry in "${cases[@]}"; do
  IFS='|' read -r name file _ <<<"$entry"
  seconds=$(field "$name" "$file" 1)
  rss=$(field "$name" "$file" 2)
  ratio=-
  if grep -q "^sox -n stats|$file|" "$results"; then
    ratio=$(awk -v s="$seconds" -v r="$(field "sox -n stats" "$file" 1)" 'BEGIN { printf "%.2f", s / r }')
  fi
  printf '%-27s %-18s %9.2f %8s %13.1f\n' "$name" "$file" "$seconds" "$ratio" "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')"
done

# The peak and the whole-file RMS per channel, beside sox's.
echo
echo "agreement with sox on $long.wav, per channel (dBFS):"
sox "$files/$long.wav" -n stats 2>&1 |
  awk '/^(Pk|RMS) lev dB/ { printf "  sox -n stats    %s lev dB: %s %s\n", $1, $5, $6 }'
"$meter" --summary --csv "$files/$long.wav" |
  awk -F, 'NR > 1 { p[$1] = 20 * log($2) / log(10); r[$1] = 20 * log($6) / log(10) }
    END { printf "  tolvanic-meter  Pk lev dB: %.2f %.2f\n  tolvanic-meter  RMS lev dB: %.2f %.2f\n", p[1], p[2], r[1], r[2] }'

# Loudness beside ffmpeg's: the ratio of the medians on the long WAV, and
# the integrated loudness of Debian's own sound files (ffmpeg's last
# running value, which has three decimals where its summary has one).
echo
awk -v t="$(field "tolvanic-meter --loudness" "$long.wav" 1)" \
  -v f="$(field "ffmpeg ebur128=peak=true" "$long.wav" 1)" \
  'BEGIN { printf "tolvanic-meter --summary --loudness takes %.2fx the time of ffmpeg ebur128=peak=true\n", t / f }'
echo
echo "integrated loudness of Debian's sound files (LUFS; null: not measured):"
printf '  %-40s %9s %9s %6s\n' file ffmpeg tolvanic diff
for sound in /usr/share/sounds/alsa/*.wav /usr/share/sounds/freedesktop/stereo/*.oga; do
  [ -f "$sound" ] || continue
  theirs=$(ffmpeg -nostdin -hide_banner -i "$sound" \
    -af ebur128=metadata=1,ametadata=print:key=lavfi.r128.I -f null - 2>&1 |
    sed -n 's/.*lavfi.r128.I=//p' | tail -1)
  ours=$("$meter" --json --loudness "$sound" 2>/dev/null | jq -r '.files[0].loudness.integrated_lufs')
  awk -v n="$(basename "$sound")" -v f="$theirs" -v t="$ours" 'BEGIN {
    d = (t == "null" || f <= -70) ? "-" : sprintf("%+.3f", t - f)
    printf "  %-40s %9s %9s %6s\n", n, f, t, d }'
done
