#!/usr/bin/env bash
# Builds the Debian packages tarnik (command-line tool and simulator) and
# velmora (desktop program), with their debug symbol packages, through
# debhelper (debian/) into build-package/. The hardening flags come from
# debian/rules. A compiler launcher in CMAKE_CXX_COMPILER_LAUNCHER (ccache)
# is used for the build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh dpkg-dev debhelper bash-completion file
# dpkg-buildpackage puts the packages beside the source tree, so a copy of
# the tree is built in build-package/: the packages land there and the tree
# itself stays clean.
version=$(dpkg-parsechangelog -S Version)
src=build-package/velmora-$version
rm -rf "$src"
rm -f build-package/*.deb build-package/*.changes build-package/*.buildinfo
mkdir -p "$src"
tar -c --exclude='./build*' --exclude=./.git --exclude=./fuzz/out --exclude=./fuzz/corpus-work -f - . |
  tar -x -C "$src" -f -
# debhelper gives the build a HOME of its own; ccache keeps its cache where
# it is outside the build.
if [ -n "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ]; then
  export CCACHE_DIR="${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/ccache}"
fi
export DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:-parallel=$(nproc)}"
(cd "$src" && dpkg-buildpackage -b -us -uc)
ls -1 build-package/*.deb
