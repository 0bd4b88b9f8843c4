#!/usr/bin/env bash
# Builds the .deb, installs it on this machine, runs the three programs from
# /usr/bin, validates the desktop entry, runs lintian, and removes the package.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh lintian desktop-file-utils dpkg-dev file man-db
scripts/package.sh
deb=$(ls -1t build-package/velmora_*.deb | head -n 1)
echo "== package: $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'

cleanup() { dpkg -r velmora >/dev/null 2>&1 || true; }
trap cleanup EXIT
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq --no-install-recommends "./$deb"

echo "== programs from /usr/bin"
test "$(command -v velmora)" = /usr/bin/velmora
/usr/bin/tarnik --help >/dev/null
/usr/bin/tarnik-sim --help >/dev/null
# The desktop program runs offscreen for a moment and must still be running
# when it is asked to stop.
set +e
QT_QPA_PLATFORM=offscreen timeout -s TERM 3 /usr/bin/velmora
rc=$?
set -e
if [ "$rc" -ne 124 ] && [ "$rc" -ne 0 ]; then
  echo "velmora ended with $rc" >&2
  exit 1
fi
man -w velmora tarnik tarnik-sim >/dev/null

echo "== desktop entry"
desktop-file-validate /usr/share/applications/velmora.desktop

echo "== lintian"
lintian --no-tag-display-limit "$deb" | tee build-package/lintian.txt
if grep -q '^E:' build-package/lintian.txt; then
  echo "lintian reports errors" >&2
  exit 1
fi

echo "== remove"
dpkg -r velmora
test ! -e /usr/bin/velmora
trap - EXIT
echo "package test passed"
