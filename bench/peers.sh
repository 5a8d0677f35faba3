#!/bin/bash
# SPDX-License-Identifier: ISC
# tolvanic against other LV2 plug-ins in a real host: lv2bench (lilv-utils)
# runs each plug-in on its own, at the same block sizes and sample count,
# several times, and the medians are compared: per channel against
# tolvanic, and the two-channel plug-ins per frame against tolvanic stereo.
#
# Usage: bench/peers.sh [BUILD_DIR]   (RUNS=n and FRAMES=n override)
#
# lv2bench feeds every audio input silence (zeros) and every control input
# its default value, at 48 kHz; the figures are the cost of running a
# plug-in on silence. Each run is a process of its own: a plug-in that
# sets the floating-point mode when it loads (tolvanic sets flush-to-zero)
# would otherwise change it for every plug-in after it.
set -euo pipefail

build=${1:-build}
runs=${RUNS:-7}
frames=${FRAMES:-4800000} # 100 s at 48 kHz
block_sizes=(64 256)

command -v lv2bench >/dev/null || { echo "peers.sh: lv2bench missing (make deps)" >&2; exit 1; }
[ -f "$build/lv2/tolvanic.lv2/tolvanic.so" ] || { echo "peers.sh: build tolvanic first (make build)" >&2; exit 1; }
build=$(cd "$build" && pwd)

# name|URI|where its bundle is. Each process sees only its plug-in's
# folder, so an installed copy of tolvanic cannot stand in for the build.
plugins=(
  "tolvanic|http://tolvanic.org/oss/lv2/tolvanic|$build/lv2"
  "tolvanic stereo|http://tolvanic.org/oss/lv2/tolvanic#stereo|$build/lv2"
  "LV2 example amplifier|http://lv2plug.in/plugins/eg-amp|/usr/lib/lv2"
  "swh amp|http://plugin.org.uk/swh-plugins/amp|/usr/lib/lv2"
  "swh gate|http://plugin.org.uk/swh-plugins/gate|/usr/lib/lv2"
  "LSP latency meter|http://lsp-plug.in/plugins/lv2/latency_meter|/usr/lib/lv2"
  "LSP spectrum analyzer x1|http://lsp-plug.in/plugins/lv2/spectrum_analyzer_x1|/usr/lib/lv2"
  "LSP spectrum analyzer x2|http://lsp-plug.in/plugins/lv2/spectrum_analyzer_x2|/usr/lib/lv2"
  "LSP phase detector|http://lsp-plug.in/plugins/lv2/phase_detector|/usr/lib/lv2"
  "Invada meter|http://invadarecords.com/plugins/lv2/meter|/usr/lib/lv2"
)

# Audio input ports of a plug-in: the channels it processes.
audio_inputs() {
  LV2_PATH=$2 lv2info "$1" | awk '
    /^\tPort [0-9]+:/ { if (audio && input) n++; audio = 0; input = 0 }
    /#AudioPort$/ { audio = 1 }
    /#InputPort$/ { input = 1 }
    END { if (audio && input) n++; print n + 0 }'
}

median() {
  sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

cpu_field() { sed -n "s/^$1\s*: //p" /proc/cpuinfo | head -1; }
echo "machine: $(cpu_field 'model name') (family $(cpu_field 'cpu family'), model $(cpu_field model)), $(nproc) CPUs, $(uname -sr)"
echo "host: $(lv2bench --version | head -1), $frames frames (silence) per run at 48 kHz, $runs runs per plug-in and block size, one process per run"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

results=$(mktemp)
trap 'rm -f "$results"' EXIT

# Round-robin over the plug-ins, so the machine's noise falls on all alike.
for _ in $(seq "$runs"); do
  for block in "${block_sizes[@]}"; do
    for entry in "${plugins[@]}"; do
      IFS='|' read -r name uri path <<<"$entry"
      seconds=$(LV2_PATH=$path lv2bench -b "$block" -n "$frames" "$uri" | awk -v uri="$uri" '$2 == uri { print $1 }')
      [ -n "$seconds" ] || { echo "peers.sh: lv2bench did not run $uri" >&2; exit 1; }
      printf '%s|%s|%s\n' "$name" "$block" "$seconds" >>"$results"
    done
  done
done
echo "load average after:  $(cut -d' ' -f1-3 /proc/loadavg)"
echo

# ns/frame: one sample of every channel; ns/sample/ch: that per channel;
# x tolvanic: per channel against tolvanic; x stereo: a two-channel
# plug-in's ns/frame against tolvanic stereo's.
printf '%-26s %8s %6s %12s %10s %13s %11s %9s\n' plug-in channels block "median s" "ns/frame" "ns/sample/ch" "x tolvanic" "x stereo"
for block in "${block_sizes[@]}"; do
  reference="" stereo_reference=""
  for entry in "${plugins[@]}"; do
    IFS='|' read -r name uri path <<<"$entry"
    channels=$(audio_inputs "$uri" "$path")
    seconds=$(awk -F'|' -v n="$name" -v b="$block" '$1 == n && $2 == b { print $3 }' "$results" | median)
    per_frame=$(awk -v s="$seconds" -v f="$frames" 'BEGIN { printf "%.3f", s / f * 1e9 }')
    per_channel=$(awk -v p="$per_frame" -v c="$channels" 'BEGIN { printf "%.3f", (c > 0 ? p / c : p) }')
    [ -n "$reference" ] || reference=$per_channel
    ratio=$(awk -v p="$per_channel" -v r="$reference" 'BEGIN { printf "%.2f", p / r }')
    [ "$name" = "tolvanic stereo" ] && stereo_reference=$per_frame
    stereo_ratio=-
    if [ "$channels" = 2 ] && [ -n "$stereo_reference" ]; then
      stereo_ratio=$(awk -v p="$per_frame" -v r="$stereo_reference" 'BEGIN { printf "%.2f", p / r }')
    fi
    printf '%-26s %8s %6s %12.6f %10s %13s %11s %9s\n' "$name" "$channels" "$block" "$seconds" "$per_frame" "$per_channel" "$ratio" "$stereo_ratio"
  done
done
