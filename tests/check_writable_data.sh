#!/bin/bash
# SPDX-License-Identifier: ISC
# Instances share nothing writable: every writable section of the module is
# either made read-only after relocation (inside GNU_RELRO) or holds only
# what the toolchain's start-up files put there. Prints what each holds.
set -u
module=$1
fail=0

read -r relro_start relro_size < <(readelf -lW "$module" |
  awk '$1 == "GNU_RELRO" {print $3, $6}')
if [ -z "${relro_start:-}" ]; then
  echo "FAIL: no GNU_RELRO segment"; exit 1
fi
relro_start=$((relro_start)); relro_end=$((relro_start + relro_size))
readelf -SW "$module" | grep -q '\.symtab' ||
  { echo "FAIL: no symbol table to read (stripped module)"; exit 1; }

# crtstuff's __dso_handle (this module's identity for __cxa_finalize), its
# run-once flag for the destructor pass (completed.0), the end marker of
# the transactional-memory clone table, and the linker's own section
# markers, which hold no data (the UI module's version script keeps them).
toolchain='__dso_handle|completed\.[0-9]+|__TMC_END__|__bss_start|_edata|_end'

while read -r name address size; do
  start=$((16#$address)); end=$((start + 16#$size))
  if [ $start -ge $relro_start ] && [ $end -le $relro_end ]; then
    echo "$name: $((16#$size)) bytes, read-only after relocation (RELRO)"
    continue
  fi
  symbols=$(nm "$module" | while read -r value _ symbol; do
    [ -n "$symbol" ] && [ $((16#$value)) -ge $start ] &&
      [ $((16#$value)) -lt $end ] && echo "$symbol"
  done | sort -u)
  echo "$name: $((16#$size)) bytes, writable:" $symbols
  if [ "$name" != .data ] && [ "$name" != .bss ]; then
    echo "FAIL: writable section $name outside RELRO"; fail=1
  fi
  own=$(echo "$symbols" | grep -vxE "$toolchain" | grep -v '^$')
  [ -z "$own" ] || { echo "FAIL: writable data of the plug-in's own:" $own; fail=1; }
done < <(readelf -SW "$module" | sed -n 's/^ *\[ *[0-9]*\] //p' |
  awk '$7 ~ /^[A-Z]+$/ && $7 ~ /W/ && $7 ~ /A/ {print $1, $3, $5}')

[ $fail = 0 ] && echo "ok: no writable data beyond the toolchain's"
exit $fail
