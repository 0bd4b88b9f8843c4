#!/usr/bin/env bash
# One version everywhere: each program's --version says the project's version,
# and so does every file that carries it by hand.
# Usage: version_test.sh VERSION SOURCE_DIR PROGRAM...
set -u
version=$1
src=$2
shift 2
v=${version//./\\.}
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# "NAME VERSION" and status 0, with no display to be had.
for program in "$@"; do
  name=$(basename "$program")
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --version 2>&1)
  rc=$?
  [ "$rc" = 0 ] && [ "$out" = "$name $version" ] || fail "$name --version: status $rc, '$out'; expected '$name $version'"
  # The simulator's option of that name once took the firmware's text.
  if [ "$name" = tarnik-sim ]; then
    out=$("$program" --version 2.00.000 2>&1)
    rc=$?
    [ "$rc" = 2 ] && [[ $out == *--firmware* ]] || fail "tarnik-sim --version 2.00.000: status $rc, '$out'"
  fi
done

# FILE, the line that holds the version (the first that matches), what it must match.
while IFS='|' read -r file select expect; do
  line=$(grep -m1 -E "$select" "$src/$file")
  [[ $line =~ $expect ]] || fail "$file: '$line' does not carry $version"
done <<TABLE
cli/tarnik.1|^\.TH |^\.TH TARNIK 1 "[^"]*" "tarnik $v"
man/ja/tarnik.1|^\.TH |^\.TH TARNIK 1 "[^"]*" "tarnik $v"
packaging/man/velmora.1|^\.TH |^\.TH VELMORA 1 "[^"]*" "velmora $v"
man/ja/velmora.1|^\.TH |^\.TH VELMORA 1 "[^"]*" "velmora $v"
packaging/man/tarnik-sim.1|^\.TH |^\.TH TARNIK-SIM 1 "[^"]*" "velmora $v"
man/ja/tarnik-sim.1|^\.TH |^\.TH TARNIK-SIM 1 "[^"]*" "velmora $v"
debian/changelog|^[a-z]|^velmora \($v(-[^)]*)?\)[[:space:]]
packaging/org.example.tarnik.velmora.metainfo.xml|<release |<release version="$v"
ui/win32/res/velmora.manifest|<assemblyIdentity |version="$v\.0"
TABLE
[ "$failures" = 0 ]
