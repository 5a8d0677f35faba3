#!/bin/bash
# SPDX-License-Identifier: ISC
# Configures and builds a clang build of this source tree with sanitizers,
# beside the main build: the sanitizer and fuzzing rows of the test suite
# run from it. Usage: clang_build.sh SOURCE BUILD SANITIZERS FUZZ [TARGET...]
set -euo pipefail
source_dir=$1
build_dir=$2
sanitizers=$3
fuzz=$4
shift 4
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANIC_SANITIZE="$sanitizers" \
  -DTOLVANIC_FUZZ="$fuzz"
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$build_dir" --parallel 2 "${targets[@]}"
