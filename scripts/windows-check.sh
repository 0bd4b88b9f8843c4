#!/usr/bin/env bash
# The Windows check without Windows, from a clean checkout: cross-builds
# velmora.exe, tarnik.exe and the library layers' tests for 64-bit Windows with
# mingw-w64, packs the installer and the portable zip (scripts/windows-package.sh),
# and runs under Wine:
#   - the library layers' tests and the Win32 serial port (tests/windows), and
#     tarnik.exe as a process (tests/windows/tarnik_exe_test.sh), against
#     tarnik-sim on a pseudo-terminal that Wine presents as a COM port;
#   - the installer: silent install, the installed programs run, silent removal;
#   - velmora.exe's own check on a virtual display (scripts/windows-ui-check.sh).
#
#   scripts/windows-check.sh [[--] extra ctest arguments, e.g. -L windows]
#
# Installs what is missing with apt-get (as root). Build directories:
#   build-win-gtest   GoogleTest cross-built from Debian's source, installed in install/
#   build-win-native  tarnik-sim for this machine
#   build-win         the Windows build, its packages in package/, its Wine prefix in wineprefix/
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=2
gtest_dir=$root/build-win-gtest
native_dir=$root/build-win-native
win_dir=$root/build-win
toolchain=$root/cmake/mingw-w64-posix.cmake
# The COM port the tests use. Wine gives the host's own serial ports (ttyS*) the
# lowest free COM numbers; this one is taken from the registry first.
com_port=COM17
com_link=$win_dir/tarnik-com
if [ "${1:-}" = "--" ]; then shift; fi

# Wine set-up, steps, and the clean-up on exit (scripts/wine-env.sh).
wine_log=$win_dir/wine.log
export WINE_ENV_LOG=$wine_log
# shellcheck source=scripts/wine-env.sh
. scripts/wine-env.sh
step() { wine_env_step "$@"; }

# ---------------------------------------------------------------- packages
step "packages"
scripts/deps.sh --only cmake make g++ googletest g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
  libcli11-dev nlohmann-json3-dev nsis zip unzip wine64 wine fonts-wine xvfb fonts-ipafont-gothic
wine_bin=$(command -v wine)

# ---------------------------------------------------------------- builds
step "GoogleTest for Windows ($gtest_dir)"
cmake -S /usr/src/googletest -B "$gtest_dir/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest_dir/install" \
  -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON >/dev/null
cmake --build "$gtest_dir/build" -j "$jobs" >/dev/null
cmake --install "$gtest_dir/build" >/dev/null

step "tarnik-sim for this machine ($native_dir)"
cmake -S . -B "$native_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_UI=OFF \
  -DVELMORA_BUILD_CLI=OFF -DVELMORA_BUILD_BENCH=OFF -DVELMORA_BUILD_TESTS=OFF >/dev/null
cmake --build "$native_dir" --target tarnik-sim -j "$jobs" >/dev/null

step "velmora.exe, tarnik.exe, the tests, the installer and the zip ($win_dir)"
# Tests are listed when CTest runs (under Wine), not at build time.
scripts/windows-package.sh --build-dir "$win_dir" -- -DVELMORA_BUILD_TESTS=ON \
  -DGTest_DIR="$gtest_dir/install/lib/cmake/GTest" -DCMAKE_CROSSCOMPILING_EMULATOR="$wine_bin" \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST
version=$(cat "$win_dir/VERSION")
installer=$win_dir/package/velmora-$version-win64-setup.exe
portable=$win_dir/package/velmora-$version-win64.zip
expected_exes=(velmora.exe tarnik.exe)
listed=$(unzip -Z1 "$portable" | sed -n 's|^[^/]*/\([^/]\+\)$|\1|p' | sort | tr '\n' ' ')
if [ "$listed" != "$(printf '%s\n' "${expected_exes[@]}" | sort | tr '\n' ' ')" ]; then
  echo "$portable holds '$listed', expected ${expected_exes[*]}" >&2
  exit 1
fi

# ---------------------------------------------------------------- Wine
# A private prefix with what the desktop program needs (scripts/wine-env.sh:
# Japanese font substitutes, unmanaged windows, a persistent server), on a
# private X server; no debug output, no Mono or Gecko installers. The console
# programs ignore the display.
: >"$wine_log"
export WINEPREFIX=$win_dir/wineprefix
unset WAYLAND_DISPLAY
display=94
wine_env_trap

# Every Wine program (and the Wine services the first one starts) writes into the
# log, never into the pipes of CTest or of whoever runs this script.
wine_quiet() { "$wine_bin" "$@" </dev/null >>"$wine_log" 2>&1; }
wine_env_xvfb "$display"

# sim_on_pty LINK LOG ARGS...: tarnik-sim behind LINK, its id in $sim_pid.
sim_on_pty() {
  local link=$1 log=$2
  shift 2
  rm -f "$link"
  "$native_dir/sim/tarnik-sim" --link "$link" "$@" </dev/null >/dev/null 2>"$log" &
  sim_pid=$!
  WINE_ENV_PIDS+=("$sim_pid")
  wine_env_await_link "$link" "$sim_pid" "$log" || exit 1
  case "$(readlink "$link" || true)" in
    /dev/pts/*) ;;
    *) echo "$link does not lead to a pseudo-terminal: '$(readlink "$link" || true)'" >&2; exit 1 ;;
  esac
}

step "tarnik-sim on a pseudo-terminal, linked as $com_link"
# These settings are the ones tests/windows/Win32PortTest.cpp expects; the
# tarnik.exe test is told them.
export TARNIK_SIM_SERIAL=246813579 TARNIK_SIM_VERSION=2.04.017 TARNIK_SIM_LINE="38400bps, 7bits, odd, stop2"
sim_on_pty "$com_link" "$win_dir/tarnik-sim.log" --baud 38400 --frame 7O2 --serial "$TARNIK_SIM_SERIAL" \
  --firmware "$TARNIK_SIM_VERSION" --latency-ms 20
# Two more modules for tarnik.exe's search, read and write at their own line
# settings (found without --line): PORT:BAUD:FRAME:SERIAL each.
export TARNIK_EXTRA_MODULES="COM21:4800:8N2:300000021 COM22:57600:8N1:300000022"
for module in $TARNIK_EXTRA_MODULES; do
  IFS=: read -r port baud frame serial <<<"$module"
  sim_on_pty "$win_dir/tarnik-$port" "$win_dir/tarnik-sim-$port.log" --baud "$baud" --frame "$frame" --serial "$serial"
done

step "Wine prefix $WINEPREFIX: $com_port = $com_link"
wine_env_restart
wine_env_map_com "$com_port" "$com_link" || exit 1
for module in $TARNIK_EXTRA_MODULES; do
  port=${module%%:*}
  wine_env_map_com "$port" "$win_dir/tarnik-$port" || exit 1
done
# A COM name that leads to no serial port.
export TARNIK_NOT_A_PORT=COM23
wine_env_map_com "$TARNIK_NOT_A_PORT" /dev/null || exit 1

step "tests under Wine"
TARNIK_COM_PORT=$com_port \
  ctest --test-dir "$win_dir" --output-on-failure --no-tests=error -j "$jobs" "$@"

step "installer: silent install, the installed programs, silent removal"
program_dir="$WINEPREFIX/drive_c/Program Files/Tarnik/Velmora"
start_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tarnik設定ユーティリティ"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora'
# A registry value as UTF-8 (reg query prints in the ANSI code page).
reg_value() {
  local file=$win_dir/reg-export.reg
  rm -f "$file"
  "$wine_bin" reg export "$1" "$(winepath -w "$file")" /y </dev/null >>"$wine_log" 2>&1 || return 0
  iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | sed -n "s/^\"$2\"=\"\(.*\)\"$/\1/p"
}
check() { "$@" || { echo "installer check failed: $*" >&2; exit 1; }; }
# Start from a prefix without the program (a previous run removed it, or failed).
rm -rf "$program_dir" "$start_menu"
wine_quiet reg delete "$uninstall_key" /f || true

check wine_quiet "$installer" /S
for exe in "${expected_exes[@]}" uninstall.exe; do check test -f "$program_dir/$exe"; done
shortcuts=("tarnik コマンドプロンプト.lnk" "アンインストール.lnk" "Tarnik設定ユーティリティ.lnk")
for link in "${shortcuts[@]}"; do check test -f "$start_menu/$link"; done
check test "$(reg_value "$uninstall_key" DisplayName)" = "Tarnik設定ユーティリティ"
check test "$(reg_value "$uninstall_key" DisplayVersion)" = "$version"
# The installed tarnik.exe finds the module, and speaks Japanese from the
# catalog the installer put beside it when the locale asks for it.
installed_tarnik='C:\Program Files\Tarnik\Velmora\tarnik.exe'
LC_ALL=ja_JP.UTF-8 "$wine_bin" "$installed_tarnik" --port "$com_port" --quiet scan </dev/null \
  >"$win_dir/installed-scan.out" 2>>"$wine_log" || { echo "installed tarnik.exe: scan failed" >&2; exit 1; }
check grep -q "製造番号: $TARNIK_SIM_SERIAL" "$win_dir/installed-scan.out"
# The installed desktop program starts on the display and paints its window.
timeout 120 "$wine_bin" 'C:\Program Files\Tarnik\Velmora\velmora.exe' --demo --exit-after-first-paint \
  </dev/null >>"$wine_log" 2>&1 || { echo "installed velmora.exe did not start and paint (status $?)" >&2; exit 1; }

# Removed again. The uninstaller copies itself away and returns at once, so
# wait (bounded) for the copy's last step, the registry key, to be done.
check wine_quiet "C:\\Program Files\\Tarnik\\Velmora\\uninstall.exe" /S
for _ in $(seq 100); do
  if [ ! -e "$program_dir" ] && [ ! -e "$start_menu" ] && [ -z "$(reg_value "$uninstall_key" DisplayName)" ]; then
    break
  fi
  sleep 0.1
done
check test ! -e "$program_dir"
check test ! -e "$WINEPREFIX/drive_c/Program Files/Tarnik"
check test ! -e "$start_menu"
check test -z "$(reg_value "$uninstall_key" DisplayName)"

step "velmora.exe under Wine on a virtual display"
# The same prefix, restarted by that script on its own display with its own
# tarnik-sim behind another COM port; this one's module is done.
wine_env_end "${WINE_ENV_PIDS[@]}"
WINE_ENV_PIDS=()
wine_env_stop
scripts/windows-ui-check.sh "$win_dir" "$WINEPREFIX" "$native_dir/sim/tarnik-sim"

ls -l "$installer" "$portable"
step "done"
