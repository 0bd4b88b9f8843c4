#!/usr/bin/env bash
# Builds the program and starts it. Without arguments it starts with a
# simulated module on COM1 (demo); give arguments to pass them on instead,
# e.g. ./run.sh --real to talk to real ports only.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target velmora
if [ $# -eq 0 ]; then
  exec build/ui/velmora --demo
elif [ "$1" = "--real" ]; then
  shift
  exec build/ui/velmora "$@"
else
  exec build/ui/velmora "$@"
fi
