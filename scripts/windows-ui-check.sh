#!/usr/bin/env bash
# Runs the Windows desktop program's driver tests under Wine on a private X
# server: velmora_ui_test clicks through the real windows of velmora.exe in
# demo mode, then against tarnik-sim behind a COM port that Wine maps to a
# pseudo-terminal, then saves and opens profiles through the system's file
# dialogs, and checks the texts, control values and files it finds. Then once
# more in a prefix without "ＭＳ Ｐゴシック", where the program takes "Yu Gothic
# UI" instead.
#
#   scripts/windows-ui-check.sh WIN_BUILD_DIR WINE_PREFIX TARNIK_SIM [--screenshots [DIR]]
#
#   WIN_BUILD_DIR  a mingw-w64 build configured with -DVELMORA_BUILD_UI=ON, in
#                  which velmora and velmora_ui_test have been built
#                  (ui/win32/velmora.exe, tests/win32/velmora_ui_test.exe)
#   WINE_PREFIX    the Wine prefix to use; created and configured when needed
#                  (scripts/wine-env.sh). May be shared with other Windows checks:
#                  this script maps COM24 only.
#   TARNIK_SIM     tarnik-sim built for this machine
#   --screenshots  also writes a picture of the main window and of every dialog
#                  as PNG into DIR (default docs/screenshots/windows)
#
# Uses display :93 (:N with WINE_ENV_DISPLAY=N) for its Xvfb and stops it, the
# simulator and the prefix's wineserver when done. Prints each run's GoogleTest
# report, then "N passed, M failed" over the runs; exits non-zero when one failed.
# Packages: wine, wine64, fonts-wine, fonts-ipafont-gothic, fonts-dejavu-core, xvfb, and
# imagemagick for --screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [ $# -lt 3 ]; then
  sed -n '2,22p' "$0" >&2
  exit 2
fi
win_dir=$(cd "$1" && pwd)
mkdir -p "$2"
prefix=$(cd "$2" && pwd)
sim=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
shift 3
shots=
if [ "${1:-}" = "--screenshots" ]; then
  shots=${2:-$root/docs/screenshots/windows}
  mkdir -p "$shots"
  shots=$(cd "$shots" && pwd)
fi

velmora=$win_dir/ui/win32/velmora.exe
driver=$win_dir/tests/win32/velmora_ui_test.exe
for f in "$velmora" "$driver" "$sim"; do
  [ -f "$f" ] || { echo "missing: $f" >&2; exit 2; }
done

packages=(wine wine64 fonts-wine fonts-ipafont-gothic fonts-dejavu-core xvfb)
[ -n "$shots" ] && packages+=(imagemagick)
scripts/deps.sh --only "${packages[@]}"

work=$win_dir/ui-check
mkdir -p "$work"
export WINE_ENV_LOG=$work/wine.log
: >"$WINE_ENV_LOG"
# shellcheck source=wine-env.sh
. scripts/wine-env.sh

# Above COM20: the list offers it from the devices present.
com_port=COM24
com_link=$work/tarnik-com
wine_env_trap
step() { wine_env_step "$@"; }

step "tarnik-sim on a pseudo-terminal, linked as $com_link"
rm -f "$com_link"
"$sim" --link "$com_link" --baud 38400 --frame 8N1 --serial 246813579 --firmware 2.04.017 \
  </dev/null >"$work/tarnik-sim.out" 2>"$work/tarnik-sim.log" &
WINE_ENV_PIDS+=("$!")
wine_env_await_link "$com_link" "$!" "$work/tarnik-sim.log" || exit 1

# The X server first: Wine's desktop takes the display it finds when it starts.
wine_env_xvfb 93
step "Wine prefix $prefix, $com_port = $com_link, display $DISPLAY"
wine_env_start "$prefix"
wine_env_map_com "$com_port" "$com_link" || exit 1
# A second port beside it, for the port list's pictures (never opened).
wine_env_map_com COM25 "$com_link" || exit 1

winpath() { winepath -w "$1" 2>/dev/null; }
shot_args=()
# The driver asks for a picture with NAME.request (the window's rectangle on
# the screen); the answer is NAME.png, cut from the X server's screen.
take_pictures() {
  local req name x y w h idle
  while :; do
    for req in "$work"/shots/*.request; do
      [ -e "$req" ] || continue
      name=$(basename "$req" .request)
      read -r x y w h idle <"$req"
      # A window whose thread is idle: its last paints reach the screen. (A
      # progress window is on the screen already and goes as its work ends.)
      [ "$idle" = 1 ] && sleep 0.3
      import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "png:$work/shots/$name.tmp"
      mv "$work/shots/$name.tmp" "$work/shots/$name.png"
      rm -f "$req"
    done
    sleep 0.05
  done
}
if [ -n "$shots" ]; then
  rm -rf "$work/shots"
  mkdir -p "$work/shots"
  shot_args=(--shots "$(winpath "$work/shots")")
  take_pictures &
  WINE_ENV_PIDS+=("$!")
fi

passed=0
failed=0
# One driver run; its output goes to a file (the program it starts keeps the
# driver's handles) and is shown afterwards. A run passes when the driver
# ended with status 0 and GoogleTest reports its test passed.
run() {
  local name=$1
  shift
  step "$name"
  local out=$work/$name.out status=0
  timeout 600 wine "$driver" "$(winpath "$velmora")" "$@" </dev/null >"$out" 2>>"$WINE_ENV_LOG" ||
    status=$?
  tr -d '\r' <"$out"
  if [ "$status" -eq 0 ] && tr -d '\r' <"$out" | grep -q '^\[  PASSED  \] 1 test'; then
    passed=$((passed + 1))
  else
    echo "$name: failed (status $status)"
    failed=$((failed + 1))
  fi
}

run demo demo "${shot_args[@]}"
run port port "$com_port"
run profile profile "${shot_args[@]}"
# The communication-error dialog comes from a read that fails, which the demo
# module never does: it is opened through the program's test switch.
run dialog-137 dialog 137 "${shot_args[@]}"

# A Windows without the Japanese supplemental fonts has no "ＭＳ Ｐゴシック" but
# "Yu Gothic UI": a second prefix without the first and with the second. It
# stands in with DejaVu Sans, wider than IPAPGothic, its Japanese drawn from
# IPAPGothic through Wine's font links (as Windows links Segoe UI to its
# Japanese faces); Tahoma, Wine's own menu and title face, is linked likewise.
_wine_env_server_stop
WINE_ENV_FONT="DejaVu Sans"
WINE_ENV_FONT_FACES=("Yu Gothic UI")
step "Wine prefix $prefix-fallback-face, without ＭＳ Ｐゴシック"
wine_env_start "$prefix-fallback-face"
for face in "DejaVu Sans" Tahoma; do
  wine_env_quiet reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
    /v "$face" /t REG_MULTI_SZ /d 'ipagp.ttf,IPAPGothic' /f
done
run fallback-face face "Yu Gothic UI" "${shot_args[@]}"

if [ -n "$shots" ]; then
  step "pictures into $shots"
  if compgen -G "$work/shots/*.png" >/dev/null; then
    rm -f "$shots"/*.png
    cp "$work"/shots/*.png "$shots/"
  fi
  ls "$shots"
fi

step "done"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
