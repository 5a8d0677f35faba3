#!/bin/bash
# SPDX-License-Identifier: ISC
# lv2_validate exits 0 on some errors, so its verdict is read instead: a
# clean "Found 0 errors" and no other error or warning line.
set -u
bundle=$1
output=$(lv2_validate "$bundle"/*.ttl 2>&1 | grep -v '^Skipping')
echo "$output"
echo "$output" | grep -q '^Found 0 errors' || { echo "FAIL: no clean verdict"; exit 1; }
diagnostics=$(echo "$output" | grep -iE 'error|warn' | grep -vc '^Found 0 errors')
[ "$diagnostics" = 0 ] || { echo "FAIL: $diagnostics diagnostic lines"; exit 1; }
