#!/bin/bash
# SPDX-License-Identifier: ISC
# Runs the file fuzzer over the seeds (the corpus made at build time and
# the regression inputs).
#
#   fuzz_files.sh FUZZER WORK check RUNS SEEDS...
#       replays every seed, then RUNS runs from seed 1 on a fresh copy of
#       the seeds: the same inputs every time, so that the row turns red
#       only for a fault the code has, never for a chance find.
#   fuzz_files.sh FUZZER WORK campaign MINUTES SEEDS...
#       fuzzes for MINUTES, keeping what it finds in WORK/corpus across
#       campaigns.
#
# A finding (a breach of the command's promises, a crash, a sanitizer
# report, a leak, a hang, an allocation beyond 128 MB) ends the run with a
# non-zero status and leaves its input in WORK/findings/: run the fuzzer
# on that file to see it again.
set -euo pipefail
fuzzer=$1
work=$2
mode=$3
count=$4
shift 4
here=$(cd "$(dirname "$0")" && pwd)
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0"
flags=(-max_len=65536 -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=128
  -print_final_stats=1 -artifact_prefix="$work/findings/")
mkdir -p "$work/corpus" "$work/findings"
mapfile -t seeds < <(find "$@" -type f ! -name README | sort)

case "$mode" in
  check)
    "$fuzzer" "${flags[@]}" "${seeds[@]}"
    rm -rf "$work/corpus"
    mkdir -p "$work/corpus"
    for seed in "${seeds[@]}"; do
      cp "$seed" "$work/corpus/$(basename "$(dirname "$seed")")-$(basename "$seed")"
    done
    exec "$fuzzer" "${flags[@]}" -seed=1 -runs="$count" "$work/corpus"
    ;;
  campaign)
    exec "$fuzzer" "${flags[@]}" -max_total_time=$((count * 60)) \
      "$work/corpus" "$@"
    ;;
  *)
    echo "fuzz_files.sh: mode must be check or campaign" >&2
    exit 2
    ;;
esac
