#!/bin/bash
# SPDX-License-Identifier: ISC
# The built module exports only its entry point and needs only libc and libm.
set -u
module=$1
fail=0

exports=$(nm -D --defined-only "$module" | awk '$2 ~ /^[TtDdBbRrWwVvi]$/ {print $3}' | sort)
if [ "$exports" != "lv2_descriptor" ]; then
  echo "FAIL: exported symbols are not just lv2_descriptor:"; echo "$exports"; fail=1
fi

needed=$(readelf -d "$module" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort | tr '\n' ' ')
if [ "$needed" != "libc.so.6 libm.so.6 " ]; then
  echo "FAIL: NEEDED entries are '$needed', expected libc and libm only"; fail=1
fi

[ $fail = 0 ] && echo "ok: exports lv2_descriptor only; needs $needed"
exit $fail
