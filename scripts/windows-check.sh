#!/usr/bin/env bash
# Windows check without Windows: cross-builds the core, link, protocol, device
# (and simulator) layers with their tests for 64-bit Windows with mingw-w64, and
# runs them under Wine with CTest, together with the Win32 serial-port tests
# (tests/windows), which talk to tarnik-sim on a pseudo-terminal that Wine
# presents as a COM port.
#
#   scripts/windows-check.sh [[--] extra ctest arguments, e.g. -L windows]
#
# Installs what is missing with apt-get (as root). Build directories:
#   build-win-gtest   GoogleTest cross-built from Debian's source, installed in install/
#   build-win-native  tarnik-sim for this machine, and the pty helper preloaded into Wine
#   build-win         the Windows build; its Wine prefix is build-win/wineprefix
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

started=$SECONDS
step() { echo "== [$((SECONDS - started)) s] $*"; }

# ---------------------------------------------------------------- packages
step "packages"
scripts/deps.sh --only cmake make g++ googletest g++-mingw-w64-x86-64-posix wine64 wine
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
# See the comment in the source: lets Wine reopen a pty at 7 data bits or with parity.
shim=$native_dir/pty_termios_shim.so
cc -std=c11 -O2 -Wall -Wextra -Wpedantic -Werror -shared -fPIC -o "$shim" tests/windows/pty_termios_shim.c -ldl

step "core, link, protocol, device and their tests for Windows ($win_dir)"
# Tests are listed when CTest runs (under Wine), not at build time.
cmake -S . -B "$win_dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELMORA_WERROR=ON -DVELMORA_BUILD_UI=OFF -DVELMORA_BUILD_CLI=OFF -DVELMORA_BUILD_BENCH=OFF \
  -DVELMORA_BUILD_TESTS=ON -DGTest_DIR="$gtest_dir/install/lib/cmake/GTest" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$wine_bin" \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >/dev/null
cmake --build "$win_dir" -j "$jobs" >/dev/null

# ---------------------------------------------------------------- Wine
# A private prefix, no display, no debug output, no Mono or Gecko installers.
export WINEPREFIX=$win_dir/wineprefix
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wine_log=$win_dir/wine.log
: >"$wine_log"

sim_pid=
cleanup() {
  local status=$?
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  wineserver -k >/dev/null 2>&1 || true
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Every Wine program (and the Wine services the first one starts) writes into the
# log, never into the pipes of CTest or of whoever runs this script.
wine_quiet() { "$wine_bin" "$@" </dev/null >>"$wine_log" 2>&1; }
start_wine() {
  mkdir -p "$WINEPREFIX"
  wineserver -p </dev/null >>"$wine_log" 2>&1
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wine_quiet wineboot -i
  else
    wine_quiet cmd /c exit  # brings the services (and the mount manager) up
  fi
}
stop_wine() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}

step "tarnik-sim on a pseudo-terminal, linked as $com_link"
# These settings are the ones tests/windows/Win32PortTest.cpp expects.
"$native_dir/sim/tarnik-sim" --link "$com_link" --baud 38400 --frame 7O2 --serial 246813579 \
  --version 2.04.017 --latency-ms 20 </dev/null >"$win_dir/tarnik-sim.out" 2>"$win_dir/tarnik-sim.log" &
sim_pid=$!
for _ in $(seq 50); do
  [ -L "$com_link" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$win_dir/tarnik-sim.log" >&2; exit 1; }
  sleep 0.1
done
pty=$(readlink "$com_link" || true)
case "$pty" in
  /dev/pts/*) ;;
  *) echo "$com_link does not lead to a pseudo-terminal: '$pty'" >&2; exit 1 ;;
esac

step "Wine prefix $WINEPREFIX: $com_port = $com_link"
stop_wine
start_wine
# A link made by hand in dosdevices is reset at start-up; the Ports key is what
# Wine's mount manager honours, from the next start of the server on.
if ! "$wine_bin" reg query 'HKLM\Software\Wine\Ports' /v "$com_port" </dev/null 2>/dev/null |
    tr -d '\r' | grep -q "REG_SZ *$com_link\$"; then
  wine_quiet reg add 'HKLM\Software\Wine\Ports' /v "$com_port" /t REG_SZ /d "$com_link" /f
  stop_wine
  start_wine
fi
dos_link=$WINEPREFIX/dosdevices/${com_port,,}
for _ in $(seq 50); do
  [ "$(readlink "$dos_link" || true)" = "$com_link" ] && break
  sleep 0.1
done
if [ "$(readlink "$dos_link" || true)" != "$com_link" ]; then
  # Never let the tests loose on whatever else the name might lead to (a real port).
  echo "$dos_link leads to '$(readlink "$dos_link" || true)', not to $com_link" >&2
  exit 1
fi

step "tests under Wine"
LD_PRELOAD=$shim TARNIK_COM_PORT=$com_port \
  ctest --test-dir "$win_dir" --output-on-failure --no-tests=error -j "$jobs" "$@"
step "done"
