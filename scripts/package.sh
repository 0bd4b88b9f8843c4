#!/usr/bin/env bash
# Builds the Debian package of the three programs into build-package/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh dpkg-dev file
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=OFF
cmake --build build-package -j "$(nproc)"
(cd build-package && cpack -G DEB)
ls -1 build-package/*.deb
