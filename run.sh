#!/usr/bin/env bash
# Builds the three programs (build/ui/qt/velmora, build/cli/tarnik,
# build/sim/tarnik-sim) and starts the desktop program. Without arguments it
# starts with a simulated module on COM1 (demo); ./run.sh --real starts it for
# real ports only; other arguments are passed on to the program.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_UI=ON -DVELMORA_BUILD_CLI=ON >/dev/null
cmake --build build -j "$(nproc)" --target velmora tarnik tarnik-sim
if [ $# -eq 0 ]; then
  exec build/ui/qt/velmora --demo
fi
[ "$1" = "--real" ] && shift
exec build/ui/qt/velmora "$@"
