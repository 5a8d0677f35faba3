#!/bin/bash
# SPDX-License-Identifier: ISC
# Runs the meter fuzzer for a bounded time from the committed seeds plus
# what earlier runs found. Any finding (a mismatch, a crash, a sanitizer
# report, a leak, a hang) ends the run with a non-zero status and leaves a
# reproducer in WORK/findings/: run the fuzzer binary on that file.
# Usage: run_fuzzer.sh FUZZER SECONDS WORK SEEDS
set -euo pipefail
fuzzer=$1
seconds=$2
work=$3
seeds=$4
mkdir -p "$work/corpus" "$work/findings"
exec "$fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/findings/" "$work/corpus" "$seeds"
