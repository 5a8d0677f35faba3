#!/bin/bash
# SPDX-License-Identifier: ISC
# A built module exports only its entry point and needs only the libraries
# named: by default a plug-in module, lv2_descriptor with libc and libm.
#
#   check_binary.sh MODULE [ENTRY LIBRARY...]
set -u
module=$1
entry=${2:-lv2_descriptor}
if [ $# -gt 2 ]; then
  expected=$(printf '%s\n' "${@:3}" | sort | tr '\n' ' ')
else
  expected="libc.so.6 libm.so.6 "
fi
fail=0

exports=$(nm -D --defined-only "$module" | awk '$2 ~ /^[TtDdBbRrWwVvi]$/ {print $3}' | sort)
if [ "$exports" != "$entry" ]; then
  echo "FAIL: exported symbols are not just $entry:"; echo "$exports"; fail=1
fi

needed=$(readelf -d "$module" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort | tr '\n' ' ')
if [ "$needed" != "$expected" ]; then
  echo "FAIL: NEEDED entries are '$needed', expected '$expected'"; fail=1
fi

[ $fail = 0 ] && echo "ok: exports $entry only; needs $needed"
exit $fail
