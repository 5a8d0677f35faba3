#!/bin/bash
# SPDX-License-Identifier: ISC
# The inline and stereo variants in GStreamer (see gstreamer_meter.py), with
# a registry of its own so that the build tree's bundle is scanned afresh.
# Usage: check_gstreamer.sh LV2_PATH_OF_BUILD
set -u
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LV2_PATH=$1 GST_REGISTRY=$work/registry.bin HOME=$work

# gst-inspect lists each element with the meter's controls as properties.
for variant in "inline:level peak reset rms " \
  "stereo:level-l level-r peak-l peak-r reset rms-l rms-r "; do
  element=tolvanic-org-oss-lv2-tolvanic-${variant%%:*}
  properties=$(timeout -k 5 60 gst-inspect-1.0 "$element" 2>&1 |
    sed -n 's/^  \(reset\|\(level\|peak\|rms\)\(-[lr]\)\?\) .*/\1/p' |
    sort | tr '\n' ' ')
  [ "$properties" = "${variant#*:}" ] ||
    { echo "FAIL: gst-inspect-1.0 $element lists properties '$properties'"; exit 1; }
  echo "ok: gst-inspect-1.0 lists $element with properties $properties"
done

# Debian's interpreter, which has the GObject bindings (not one on PATH
# from elsewhere).
timeout -k 5 120 /usr/bin/python3 "$here/gstreamer_meter.py"
