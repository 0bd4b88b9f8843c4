#!/usr/bin/env bash
# Builds the two .deb packages, installs them on this machine, runs the three
# programs from /usr/bin, checks that the command-line package needs no Qt,
# validates the desktop entry, runs lintian --pedantic (any tag fails), and
# removes the packages. Waits while another apt-get or dpkg holds the lock.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh lintian desktop-file-utils dpkg-dev file man-db
scripts/package.sh
tarnik_deb=$(ls -1t build-package/tarnik_*.deb | head -n 1)
velmora_deb=$(ls -1t build-package/velmora_*.deb | head -n 1)
for deb in "$tarnik_deb" "$velmora_deb"; do
  echo "== package: $deb"
  dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
done

echo "== the command-line package needs no Qt"
if dpkg-deb --field "$tarnik_deb" Depends | grep -qi qt; then
  echo "$tarnik_deb depends on Qt" >&2
  exit 1
fi
if dpkg-deb --contents "$tarnik_deb" | grep -q velmora; then
  echo "$tarnik_deb holds the desktop program's files" >&2
  exit 1
fi

# apt-get waits for the dpkg lock (another apt-get, unattended upgrades) up
# to ten minutes instead of failing at once.
apt_wait=(-o DPkg::Lock::Timeout=600)
export DEBIAN_FRONTEND=noninteractive
cleanup() { apt-get "${apt_wait[@]}" remove -y -qq tarnik velmora >/dev/null 2>&1 || true; }
trap cleanup EXIT
apt-get "${apt_wait[@]}" install -y -qq --no-install-recommends "./$tarnik_deb"

echo "== tarnik from /usr/bin, without the desktop package"
test "$(command -v tarnik)" = /usr/bin/tarnik
if ldd /usr/bin/tarnik | grep -qi libQt; then
  echo "/usr/bin/tarnik links Qt" >&2
  exit 1
fi
/usr/bin/tarnik --help >/dev/null
/usr/bin/tarnik-sim --help >/dev/null
/usr/bin/tarnik ports --json >/dev/null
/usr/bin/tarnik --simulate --sim-line 57600,7,N,1 read --json >/dev/null
man -w tarnik tarnik-sim >/dev/null

apt-get "${apt_wait[@]}" install -y -qq --no-install-recommends "./$velmora_deb"
echo "== velmora from /usr/bin"
test "$(command -v velmora)" = /usr/bin/velmora
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
man -w velmora >/dev/null

echo "== desktop entry"
desktop-file-validate /usr/share/applications/velmora.desktop

echo "== lintian --pedantic"
lintian --pedantic --tag-display-limit 0 "$tarnik_deb" "$velmora_deb" | tee build-package/lintian.txt
if grep -q '^[EWP]:' build-package/lintian.txt; then
  echo "lintian reports tags" >&2
  exit 1
fi

echo "== remove"
apt-get "${apt_wait[@]}" remove -y -qq tarnik velmora
test ! -e /usr/bin/velmora
test ! -e /usr/bin/tarnik
trap - EXIT
echo "package test passed"
