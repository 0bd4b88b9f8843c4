#!/usr/bin/env bash
# Builds the Debian packages tarnik (command-line tool and simulator) and
# velmora (desktop program) into build-package/, with Debian's hardening flags.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh dpkg-dev file
# Fortify, stack protector, format checks, full RELRO with bindnow; PIE is the
# compiler's default on Debian. CMake reads no CPPFLAGS: they go with the
# compiler flags.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=OFF \
  -DVELMORA_BUILD_UI=ON -DVELMORA_BUILD_CLI=ON \
  -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" -DCMAKE_C_FLAGS="$CPPFLAGS $CFLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_SHARED_LINKER_FLAGS="$LDFLAGS"
cmake --build build-package -j "$(nproc)"
rm -f build-package/*.deb
(cd build-package && cpack -G DEB)
ls -1 build-package/*.deb
