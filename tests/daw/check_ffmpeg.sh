#!/bin/bash
# SPDX-License-Identifier: ISC
# Both plug-ins in an ffmpeg filter graph, with the URI escaped as the
# README shows: each runs, and the audio comes out bit for bit as it went
# in. A URI that names no plug-in must fail, or the run proves nothing.
# Usage: check_ffmpeg.sh LV2_PATH_OF_BUILD URI
set -u
export LV2_PATH=$1
uri=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# One second of a 1 kHz sine, as 32-bit floats; with a filter, through it.
tone() {
  timeout -k 5 60 ffmpeg -nostdin -hide_banner -loglevel error \
    -f lavfi -i sine=frequency=1000:sample_rate=48000:duration=1 \
    -af "aformat=sample_fmts=flt:channel_layouts=mono${1:+,$1}" \
    -f f32le -y "$2"
}
# The filter's options split at a colon, and the graph unescapes once
# more: a colon of the URI is written \\: in the graph (\\\\: in a shell's
# double quotes).
escaped() { echo "$1" | sed 's/:/\\\\:/g'; }

tone "" "$work/direct.raw" || fail "ffmpeg cannot make the tone"
for plugin in "$uri" "$uri#inline"; do
  tone "lv2=p=$(escaped "$plugin")" "$work/through.raw" ||
    fail "ffmpeg's lv2 filter did not run $plugin"
  cmp -s "$work/direct.raw" "$work/through.raw" ||
    fail "the audio through $plugin differs from the tone"
  echo "ok: $plugin in ffmpeg, $(stat -c %s "$work/through.raw") bytes through unchanged"
done
if tone "lv2=p=$(escaped "$uri#none")" "$work/none.raw" 2>/dev/null; then
  fail "ffmpeg accepted a URI that names no plug-in"
fi
echo "ok: a URI that names no plug-in fails"
