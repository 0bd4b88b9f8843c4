#!/usr/bin/env bash
# Builds the program and starts it. Without arguments it starts with a
# simulated module on COM1 (demo); ./run.sh --real starts it for real ports
# only; other arguments are passed on to the program.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_UI=ON >/dev/null
cmake --build build -j "$(nproc)" --target velmora
if [ $# -eq 0 ]; then
  exec build/ui/qt/velmora --demo
fi
[ "$1" = "--real" ] && shift
exec build/ui/qt/velmora "$@"
