#!/bin/bash
# SPDX-License-Identifier: ISC
# The LV2 command-line tools on the build-tree bundle. They exit 0 on many
# errors, so each check reads the tool's verdict instead of its status.
# Usage: check_lv2_tools.sh serdi|sord_validate|lv2info|lv2bench BUNDLE URI
set -u
tool=$1 bundle=$2 uri=$3
export LV2_PATH=$(dirname "$bundle")
log=$(mktemp)
trap 'rm -f "$log"' EXIT

case $tool in
  serdi) # a clean parse prints nothing on stderr
    for ttl in "$bundle"/*.ttl; do
      serdi -i turtle "$ttl" 2>"$log" >/dev/null
      [ -s "$log" ] && { echo "FAIL: serdi on $ttl:"; cat "$log"; exit 1; }
      echo "ok: serdi parses $(basename "$ttl") silently"
    done ;;
  sord_validate) # against every schema lv2-dev ships
    mapfile -t schemas < <(dpkg -L lv2-dev | grep '\.ttl$' | xargs -r ls -d 2>/dev/null)
    [ ${#schemas[@]} -gt 10 ] || { echo "FAIL: lv2-dev schemas not found"; exit 1; }
    sord_validate "${schemas[@]}" "$bundle"/*.ttl >"$log" 2>&1
    grep -q '^Found 0 errors' "$log" || { echo "FAIL: no clean verdict:"; cat "$log"; exit 1; }
    if grep -i 'error' "$log" | grep -qv '^Found 0 errors'; then
      echo "FAIL: error lines:"; cat "$log"; exit 1
    fi
    echo "ok: sord_validate with ${#schemas[@]} schemas: $(grep '^Found' "$log")" ;;
  lv2info) # nothing on stderr, and the plug-in is described
    lv2info "$uri" 2>"$log" >"$log.out"
    [ -s "$log" ] && { echo "FAIL: lv2info stderr:"; cat "$log"; exit 1; }
    grep -qxF "$uri" "$log.out" || { echo "FAIL: lv2info does not show $uri"; exit 1; }
    rm -f "$log.out"
    echo "ok: lv2info describes the plug-in silently" ;;
  lv2bench) # it prints one line per plug-in run, and nothing on failure
    lv2bench -b 256 -n 48000 "$uri" >"$log" 2>&1
    grep -Eq "^[0-9.e+-]+ $uri\$" "$log" || { echo "FAIL: lv2bench did not run it:"; cat "$log"; exit 1; }
    echo "ok: lv2bench: $(grep "$uri" "$log")" ;;
  *) echo "unknown tool $tool"; exit 2 ;;
esac
