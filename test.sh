#!/usr/bin/env bash
# Installs what is missing, builds and runs every test through CTest.
#   ./test.sh              normal build in build/ (preset "default", CMakePresets.json)
#   ./test.sh --sanitize   address + undefined-behaviour sanitizers in build-asan/ (preset "sanitize")
#   ./test.sh --tsan       the threaded tests (port search, provision stations) under ThreadSanitizer
#                          in build-tsan/ (preset "tsan")
#   extra arguments after -- go to ctest (e.g. ./test.sh -- -L link)
set -euo pipefail
cd "$(dirname "$0")"
preset=default
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize) preset=sanitize; shift ;;
    --tsan) preset=tsan; shift ;;
    --) shift; break ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
done
scripts/deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
ctest --preset "$preset" -j "$(nproc)" "$@"
