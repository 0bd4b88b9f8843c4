#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
# Usage: scripts/deps.sh [extra packages...]
#        scripts/deps.sh --only packages...   (just these, not the build's own)
set -euo pipefail
if [ "${1:-}" = "--only" ]; then
  shift
  packages=("$@")
else
  packages=(cmake make g++ pkg-config libgtest-dev libgmock-dev qt6-base-dev libgl-dev
            libcli11-dev nlohmann-json3-dev libudev-dev gettext locales fonts-ipafont-gothic qt6-translations-l10n "$@")
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Install them with: sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # Another apt-get or dpkg may hold the lock for a while: wait for it. apt
  # waits for dpkg's lock itself; the package lists' lock it does not wait
  # for, so the update is tried again.
  for attempt in 1 2 3 4 5 6 7 8 9 10 last; do
    apt-get -o DPkg::Lock::Timeout=600 update -qq && break
    [ "$attempt" = last ] && exit 1
    echo "apt-get update failed (another apt-get running?); trying again in 30 s" >&2
    sleep 30
  done
  apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
fi
