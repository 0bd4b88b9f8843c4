#!/usr/bin/env bash
# The Windows release from Linux: cross-builds velmora.exe and tarnik.exe with
# mingw-w64 (static, stripped, no DLL beyond the system's) and packs them
#   BUILD/package/velmora-VERSION-win64-setup.exe   NSIS installer (Japanese)
#   BUILD/package/velmora-VERSION-win64.zip         the two exes, portable
# VERSION is the project's version (project() in CMakeLists.txt, written to BUILD/VERSION).
#
#   scripts/windows-package.sh [--build-dir DIR] [-- extra cmake arguments]
#
# DIR defaults to build-win-release, a release build without tests;
# scripts/windows-check.sh passes its own test build instead. Installs what is
# missing with apt-get (as root).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build_dir=$root/build-win-release
jobs=2
extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build_dir=$(realpath -m "$2"); shift 2 ;;
    --) shift; extra=("$@"); break ;;
    *) echo "usage: $0 [--build-dir DIR] [-- cmake arguments]" >&2; exit 2 ;;
  esac
done


scripts/deps.sh --only cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
  libcli11-dev nlohmann-json3-dev nsis zip

# CLI11 and nlohmann-json are header-only: Debian's headers serve mingw as
# well, but not from /usr/include, whose C library headers would shadow
# mingw's. A prefix holding only these two, with copies of their CMake files
# (which find the headers relative to themselves).
headers=$build_dir/host-headers
mkdir -p "$headers/include" "$headers/share/cmake"
ln -sfn /usr/include/nlohmann "$headers/include/nlohmann"
ln -sfn /usr/include/CLI "$headers/include/CLI"
cp -r /usr/share/cmake/nlohmann_json /usr/share/cmake/CLI11 "$headers/share/cmake/"

echo "== configure $build_dir"
cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-posix.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DVELMORA_WERROR=ON -DVELMORA_BUILD_UI=ON -DVELMORA_BUILD_CLI=ON \
  -DVELMORA_BUILD_BENCH=OFF -DVELMORA_BUILD_TESTS=OFF \
  -Dnlohmann_json_DIR="$headers/share/cmake/nlohmann_json" -DCLI11_DIR="$headers/share/cmake/CLI11" \
  "${extra[@]}" >/dev/null
echo "== build"
cmake --build "$build_dir" -j "$jobs" >/dev/null
# The project's version, as the configuration wrote it.
version=$(cat "$build_dir/VERSION")

# The one exe of each name the build made (the Wine prefix may hold copies).
find_exe() {
  local found
  found=$(find "$build_dir" -path "$build_dir/wineprefix" -prune -o -path "$build_dir/package" -prune \
    -o -type f -name "$1" -print)
  if [ "$(printf '%s' "$found" | grep -c .)" -ne 1 ]; then
    echo "expected one $1 in $build_dir, found: ${found:-none}" >&2
    return 1
  fi
  printf '%s\n' "$found"
}
tarnik_exe=$(find_exe tarnik.exe)
velmora_exe=$(find_exe velmora.exe)
nsis_defs=(-DVERSION="$version" -DTARNIK_EXE="$tarnik_exe" -DVELMORA_EXE="$velmora_exe"
           -DICON="$root/ui/win32/res/velmora.ico")
exes=("$velmora_exe" "$tarnik_exe")
# tarnik's Japanese catalog, built beside tarnik.exe, goes beside it again.
catalog=share/locale/ja/LC_MESSAGES/tarnik.mo
tarnik_mo=$(dirname "$tarnik_exe")/$catalog
[ -f "$tarnik_mo" ] || { echo "no $tarnik_mo beside tarnik.exe" >&2; exit 1; }
nsis_defs+=(-DTARNIK_MO="$tarnik_mo")

out=$build_dir/package
name=velmora-$version-win64
rm -rf "$out"
mkdir -p "$out/$name"
echo "== installer $out/$name-setup.exe"
makensis -V2 -INPUTCHARSET UTF8 "${nsis_defs[@]}" -DOUTFILE="$out/$name-setup.exe" \
  packaging/windows/velmora.nsi
echo "== portable zip $out/$name.zip"
cp "${exes[@]}" "$out/$name/"
mkdir -p "$out/$name/$(dirname "$catalog")"
cp "$tarnik_mo" "$out/$name/$catalog"
(cd "$out" && zip -q -r -X "$name.zip" "$name")
rm -rf "${out:?}/$name"
ls -l "${exes[@]}" "$out"/*
