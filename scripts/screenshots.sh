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

# The port list's pictures show a built-in port and two USB adapters: a folder
# laid out as /sys stands in for this machine's devices (TARNIK_SYSFS_ROOT).
sys=$(mktemp -d)
trap 'rm -rf "$sys"' EXIT
fake_tty() {  # NAME DEVICE-DIR DRIVER [VENDOR PRODUCT MAKER MODEL SERIAL]
  local name=$1 device=$sys/devices/$2 driver=$3
  mkdir -p "$device" "$sys/class/tty/$name" "$sys/bus/drivers/$driver"
  ln -s "$sys/bus/drivers/$driver" "$device/driver"
  ln -s "$device" "$sys/class/tty/$name/device"
  echo "DEVNAME=$name" >"$sys/class/tty/$name/uevent"
  echo 4 >"$sys/class/tty/$name/type"
  if [ $# -gt 3 ]; then
    local usb
    usb=$(dirname "$(dirname "$device")")
    echo "$4" >"$usb/idVendor"; echo "$5" >"$usb/idProduct"
    echo "$6" >"$usb/manufacturer"; echo "$7" >"$usb/product"; echo "$8" >"$usb/serial"
  fi
}
fake_tty ttyS0 platform/serial8250/tty/ttyS0 serial8250
fake_tty ttyUSB0 pci0000:00/usb1/1-1/1-1:1.0/ttyUSB0 ftdi_sio 0403 6001 FTDI "FT232R USB UART" A50285BI
fake_tty ttyUSB1 pci0000:00/usb1/1-2/1-2:1.0/ttyUSB1 cp210x 10c4 ea60 "Silicon Labs" "CP2102 USB to UART Bridge Controller" 0001
export TARNIK_SYSFS_ROOT=$sys
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
