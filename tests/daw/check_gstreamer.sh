#!/bin/bash
# SPDX-License-Identifier: ISC
# The inline variant in GStreamer (see gstreamer_meter.py), with a registry
# of its own so that the build tree's bundle is scanned afresh.
# Usage: check_gstreamer.sh LV2_PATH_OF_BUILD
set -u
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LV2_PATH=$1 GST_REGISTRY=$work/registry.bin HOME=$work
element=tolvanic-org-oss-lv2-tolvanic-inline

# gst-inspect lists the element with the meter's controls as properties.
properties=$(timeout -k 5 60 gst-inspect-1.0 "$element" 2>&1 |
  sed -n 's/^  \(reset\|level\|peak\|rms\) .*/\1/p' | sort | tr '\n' ' ')
[ "$properties" = "level peak reset rms " ] ||
  { echo "FAIL: gst-inspect-1.0 $element lists properties '$properties'"; exit 1; }
echo "ok: gst-inspect-1.0 lists $element with properties $properties"

# Debian's interpreter, which has the GObject bindings (not one on PATH
# from elsewhere).
timeout -k 5 120 /usr/bin/python3 "$here/gstreamer_meter.py"
