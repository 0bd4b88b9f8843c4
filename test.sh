#!/usr/bin/env bash
# Installs what is missing, builds and runs every test through CTest.
#   ./test.sh              normal build in build/
#   ./test.sh --sanitize   address + undefined-behaviour sanitizers in build-asan/
#   extra arguments after -- go to ctest (e.g. ./test.sh -- -L link)
set -euo pipefail
cd "$(dirname "$0")"
build=build
cmake_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize) build=build-asan; cmake_args+=(-DVELMORA_SANITIZE=ON -DVELMORA_BUILD_BENCH=OFF); shift ;;
    --) shift; break ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
done
scripts/deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_WERROR=ON -DVELMORA_BUILD_UI=ON -DVELMORA_BUILD_CLI=ON -DVELMORA_BUILD_TESTS=ON -DVELMORA_BUILD_BENCH=ON -DVELMORA_SANITIZE=OFF "${cmake_args[@]}"
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
