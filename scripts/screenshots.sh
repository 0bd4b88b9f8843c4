#!/usr/bin/env bash
# Pictures of the desktop program for docs/screenshots/: runs velmora with its
# simulated module under a virtual X server (the X11 platform, so fonts render
# as a user sees them) with a window manager (openbox, so title bars show as a
# user sees them), scans, reads, writes, switches to transparent master and
# saves the main window, the menus and every dialog as PNG files.
#   scripts/screenshots.sh [build-dir] [output-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-docs/screenshots}

if ! command -v xvfb-run >/dev/null 2>&1; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "xvfb-run is missing: sudo apt-get install xvfb" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends xvfb xauth
fi
scripts/deps.sh openbox

if [ ! -x "$build/ui/qt/velmora" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j "$(nproc)" --target velmora
fi

mkdir -p "$out"
rm -f "$out"/*.png
unset QT_QPA_PLATFORM
export QT_QPA_PLATFORM=xcb
timeout 300 xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" sh -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
  "$0" --demo --screenshot-script "$1"
  rc=$?
  kill "$wm" 2>/dev/null
  wait "$wm" 2>/dev/null
  exit "$rc"' "$build/ui/qt/velmora" "$out"
ls "$out"
