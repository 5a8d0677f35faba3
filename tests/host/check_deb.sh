#!/bin/bash
# SPDX-License-Identifier: ISC
# `make deb` builds a package holding the bundle under /usr/lib/lv2 and the
# command under /usr/bin, with the libraries it links as dependencies, its
# manual page and Debian's documentation files; lintian finds no error and
# no warning in it.
set -u
src=$1 work=$2
fail() { echo "FAIL: $*"; exit 1; }

rm -rf "$work"
make --no-print-directory -C "$src" deb DEB_BUILD="$work" >"$work.log" 2>&1 ||
  { tail -20 "$work.log"; fail "make deb"; }
deb=$(ls "$work"/tolvanic_*.deb 2>/dev/null)
[ -f "$deb" ] || fail "no package in $work"

files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort)
expected=$(printf '%s\n' ./usr/bin/tolvanic-meter \
  ./usr/lib/lv2/tolvanic.lv2/{manifest.ttl,tolvanic.so,tolvanic.ttl,tolvanic_inline.so,tolvanic_inline.ttl} \
  ./usr/lib/lv2/tolvanic.lv2/tolvanic_stereo.{so,ttl} \
  ./usr/lib/lv2/tolvanic.lv2/tolvanic_ui.{so,ttl} \
  ./usr/share/doc/tolvanic/{changelog.gz,copyright} \
  ./usr/share/man/man1/tolvanic-meter.1.gz | sort)
[ "$files" = "$expected" ] || fail "package files:"$'\n'"$files"
echo "ok: $(basename "$deb") holds:" $files

info=$(dpkg-deb -I "$deb")
for field in "Package: tolvanic" "Architecture: $(dpkg --print-architecture)" \
  "Section: sound"; do
  grep -q "^ $field\$" <<<"$info" || fail "no '$field' in:"$'\n'"$info"
done
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
for library in libc6 liblilv-0-0 libsndfile1 libstdc++6; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
echo "ok: Depends: $depends"

# The packaged command looks in /usr/lib/lv2, never in a build tree.
dpkg-deb -x "$deb" "$work/unpacked"
! grep -q "$work" "$work/unpacked/usr/bin/tolvanic-meter" ||
  fail "the packaged command refers to the build tree"
if ! message=$(LV2_PATH=/nonexistent "$work/unpacked/usr/bin/tolvanic-meter" -s 2>&1); then
  grep -q "searched LV2_PATH=/nonexistent, /usr/lib/lv2);" <<<"$message" ||
    fail "the packaged command searched elsewhere: $message"
fi
echo "ok: the packaged command looks in /usr/lib/lv2"

# lintian exits 0 on warnings, so its verdict is read: no E: or W: line.
verdict=$(lintian "$deb" 2>&1 | grep -v 'running with root privileges')
echo "lintian: ${verdict:-no errors, no warnings}"
! grep -Eq '^[EW]: ' <<<"$verdict" || fail "lintian reports errors or warnings"
