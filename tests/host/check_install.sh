#!/bin/bash
# SPDX-License-Identifier: ISC
# A staged install (DESTDIR) holds the bundle, whose three plug-ins lv2ls
# finds, and the command, which meters with it; `make uninstall` then
# removes all of it.
set -u
src=$1 build=$2 uri=$3
uris=$(printf '%s\n' "$uri" "$uri#inline" "$uri#stereo" | sort)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
prefix=/usr/local
fail() { echo "FAIL: $*"; exit 1; }

DESTDIR=$stage cmake --install "$build" --prefix $prefix >/dev/null || fail "cmake --install"
lv2=$stage$prefix/lib/lv2
for file in manifest.ttl tolvanic.ttl tolvanic.so tolvanic_inline.ttl tolvanic_inline.so \
  tolvanic_stereo.ttl tolvanic_stereo.so tolvanic_ui.ttl tolvanic_ui.so; do
  [ -f "$lv2/tolvanic.lv2/$file" ] || fail "no $file in $lv2/tolvanic.lv2"
done
[ -x "$stage$prefix/bin/tolvanic-meter" ] || fail "no $prefix/bin/tolvanic-meter"
found=$(LV2_PATH=$lv2 lv2ls | sort)
[ "$found" = "$uris" ] || fail "lv2ls on the staged install lists '$found'"
LV2_PATH=$lv2 "$stage$prefix/bin/tolvanic-meter" --summary | grep -q '^channel 1 ' ||
  fail "the staged command does not meter"
echo "ok: staged install found by lv2ls:" $found

make --no-print-directory -C "$src" uninstall DESTDIR="$stage" PREFIX=$prefix >/dev/null ||
  fail "make uninstall"
left=$(find "$stage" -type f)
[ -z "$left" ] || fail "make uninstall left: $left"
echo "ok: make uninstall removed every installed file"
