#!/usr/bin/env bash
# Builds the Debian packages through debhelper (the two packages and their
# debug symbols), installs them on this machine, runs the three programs from
# /usr/bin, checks that the command-line package needs no Qt, that the
# programs carry the hardening, that the manual pages (English and Japanese)
# and the bash completion are found, validates the desktop entry and the
# AppStream metainfo, runs lintian --pedantic (any tag fails), and purges the
# packages, checking that nothing of them is left. Waits while another apt-get
# or dpkg holds the lock.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh lintian desktop-file-utils dpkg-dev file man-db appstream bash-completion binutils
scripts/package.sh
tarnik_deb=$(ls -1t build-package/tarnik_*.deb | head -n 1)
velmora_deb=$(ls -1t build-package/velmora_*.deb | head -n 1)
debs=("$tarnik_deb" "$velmora_deb")
for package in tarnik velmora; do
  dbgsym=$(ls -1t build-package/${package}-dbgsym_*.deb 2>/dev/null | head -n 1)
  if [ -z "$dbgsym" ]; then
    echo "no debug symbol package for $package" >&2
    exit 1
  fi
  debs+=("$dbgsym")
done
for deb in "${debs[@]}"; do
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
cleanup() { apt-get "${apt_wait[@]}" purge -y -qq tarnik velmora >/dev/null 2>&1 || true; }
trap cleanup EXIT
apt-get "${apt_wait[@]}" install -y -qq --no-install-recommends "./$tarnik_deb"

# PIE, full RELRO, bindnow, stack protector, fortified calls.
harden_check() {
  local exe=$1 header segments dynamic symbols
  # Read first, then searched: grep -q ending a pipe early would fail it.
  header=$(readelf -W -h "$exe")
  segments=$(readelf -W -l "$exe")
  dynamic=$(readelf -W -d "$exe")
  symbols=$(readelf -W --dyn-syms "$exe")
  grep -q 'Type: *DYN' <<<"$header" || { echo "$exe is not PIE" >&2; return 1; }
  grep -q GNU_RELRO <<<"$segments" || { echo "$exe has no RELRO" >&2; return 1; }
  grep -q 'FLAGS.*BIND_NOW' <<<"$dynamic" || { echo "$exe is not bound now" >&2; return 1; }
  grep -q '__stack_chk_fail@' <<<"$symbols" || { echo "$exe has no stack protector" >&2; return 1; }
  grep -q '__[a-z_]*_chk@' <<<"$symbols" || { echo "$exe has no fortified calls" >&2; return 1; }
}

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
for page in tarnik tarnik-sim; do
  [[ $(man -L ja -w "$page") == /usr/share/man/ja/man1/* ]]
done
echo "== hardening of tarnik and tarnik-sim"
harden_check /usr/bin/tarnik
harden_check /usr/bin/tarnik-sim

echo "== bash completion of tarnik"
# The installed completion completes a command name, a command's option and
# a mode, as bash-completion loads it on demand.
complete_line() {
  bash -c 'source /usr/share/bash-completion/bash_completion
           _completion_loader tarnik
           COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
           _tarnik tarnik; printf "%s\n" "${COMPREPLY[@]}"' _ "$@"
}
test "$(complete_line tarnik --port /dev/ttyUSB0 re)" = read
complete_line tarnik write --no | grep -x -- --no-verify >/dev/null
test "$(complete_line tarnik mode sl)" = slave

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
[[ $(man -L ja -w velmora) == /usr/share/man/ja/man1/* ]]
harden_check /usr/bin/velmora

echo "== desktop entry"
desktop-file-validate /usr/share/applications/velmora.desktop

echo "== AppStream metainfo"
# The home page and screenshot addresses are placeholders that resolve
# nowhere: --no-net leaves out the check that they can be fetched.
appstreamcli validate --no-net /usr/share/metainfo/org.example.tarnik.velmora.metainfo.xml

echo "== lintian --pedantic"
lintian --pedantic --tag-display-limit 0 "${debs[@]}" | tee build-package/lintian.txt
if grep -q '^[EWP]:' build-package/lintian.txt; then
  echo "lintian reports tags" >&2
  exit 1
fi

echo "== purge"
# What the two packages hold, taken before they go, must be gone after the
# purge, and dpkg must remember nothing of them.
files=$(dpkg -L tarnik velmora | sort -u)
apt-get "${apt_wait[@]}" purge -y -qq tarnik velmora
left=()
while IFS= read -r path; do
  if [ -e "$path" ] && [ ! -d "$path" ]; then left+=("$path"); fi
done <<<"$files"
if [ ${#left[@]} -gt 0 ]; then
  printf 'left after the purge: %s\n' "${left[@]}" >&2
  exit 1
fi
for package in tarnik velmora; do
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -qv 'not-installed'; then
    echo "dpkg still knows $package after the purge" >&2
    exit 1
  fi
done
trap - EXIT
echo "package test passed"
