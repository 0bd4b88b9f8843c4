#!/usr/bin/env bash
# tarnik speaks one language at a time: under LANG=C not one byte of its
# output is beyond ASCII; under LANG=ja_JP.UTF-8 it shows the catalog's
# Japanese. For an error, its hints and read, against the simulated module.
# Usage: language_test.sh TARNIK LOCALEDIR
set -uo pipefail
tarnik=$1
localedir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The longest stretch of a message between its conversions.
literal() {
  printf '%s' "$1" | sed -E 's/%(%|[-0-9.]*l*[a-z])/\n/g' |
    awk '{ if (length($0) > length(best)) best = $0 } END { printf "%s", best }'
}

# The catalog's text for an English message, its longest stretch without a conversion.
ja() {
  literal "$(LANGUAGE= LC_ALL=ja_JP.UTF-8 TEXTDOMAINDIR=$localedir gettext -d tarnik -- "$1")"
}

fast=(--simulate --sim-line 57600,7,N,1)
cases=(
  "read|0|${fast[*]} --sim-fixed-pins read"
  "open|3|--port /nonexistent-tarnik-dir/tty read"
  "link|5|${fast[*]} --sim-fault silence:VER read"
  "nak|6|${fast[*]} --sim-change-fault nak:SAD --yes write --address 3"
  "usage|2|--port /nonexistent-tarnik-dir/tty link-test --peer-port /nonexistent-tarnik-dir/tty"
  "monitor|3|--port /nonexistent-tarnik-dir/tty monitor --line 9600,8,N,1"
  "help|0|--help"
)

run() {  # NAME LANG ARGS...: stdout and stderr together in $work/NAME.LANG
  local name=$1 lang=$2 expected=$3
  shift 3
  env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG="$lang" "$tarnik" "$@" >"$work/$name.$lang" 2>&1
  local rc=$?
  [ "$rc" = "$expected" ] || fail "$name under LANG=$lang: exit code $rc, not $expected: $(cat "$work/$name.$lang")"
}

for entry in "${cases[@]}"; do
  IFS='|' read -r name code args <<<"$entry"
  # shellcheck disable=SC2086  # the arguments are words
  run "$name" C "$code" $args
  # shellcheck disable=SC2086
  run "$name" ja_JP.UTF-8 "$code" $args
  if LC_ALL=C grep -q '[^[:print:][:space:]]' "$work/$name.C"; then
    fail "$name under LANG=C has bytes beyond ASCII: $(LC_ALL=C grep -n '[^[:print:][:space:]]' "$work/$name.C")"
  fi
done

# What each command shows: the English under C, the catalog's Japanese under ja_JP.UTF-8.
expect() {  # NAME MSGID: the English message (its longest stretch without a conversion) and its translation
  local name=$1 msgid=$2 english
  english=$(literal "$msgid")
  grep -qF -- "$english" "$work/$name.C" || fail "$name under LANG=C lacks '$english': $(cat "$work/$name.C")"
  local japanese
  japanese=$(ja "$msgid")
  if [ -z "$japanese" ] || [ "$japanese" = "$english" ]; then
    fail "the catalog has no Japanese for '$msgid'"
    return
  fi
  grep -qF -- "$japanese" "$work/$name.ja_JP.UTF-8" ||
    fail "$name under LANG=ja_JP.UTF-8 lacks '$japanese': $(cat "$work/$name.ja_JP.UTF-8")"
}
expect read "Serial number: %s"
expect read "Frequency: %d MHz (channel %d)"
expect read "Parity: %s"
expect read "This Tarnik module is a model whose I/O pin functions are fixed."
expect open "Cannot open the serial port."
expect open "  hint: %s"
expect link "An error occurred in the communication with the Tarnik module."
expect link "is the module powered, and the cable (a crossed one for the PX-300 and the evaluation kit) firmly in?"
expect nak "tarnik: the module rejected a request"
expect nak "the module answered and refused the request (NAK): the line and the cable work; check that the values suit this module"
expect usage "--peer-port: the same port as --port; the test needs both modules of the pair"
expect usage "%s; nothing was sent"
expect monitor "cannot open %s: %s"
expect help "Env"
expect help "Print this help message and exit"
expect help "list the serial devices of this machine with what is known of them"

# read is for people and for grep: ASCII colons and "MHz" in both languages.
for lang in C ja_JP.UTF-8; do
  grep -q 'MHz' "$work/read.$lang" || fail "read under LANG=$lang shows no 'MHz': $(cat "$work/read.$lang")"
  if grep -qE '：|ｚ' "$work/read.$lang"; then fail "read under LANG=$lang has full-width characters"; fi
done
# A module that refuses a request has a working cable: no cable advice for a NAK.
grep -q 'cable (a crossed one' "$work/nak.C" && fail "the NAK is answered with cable advice: $(cat "$work/nak.C")"

[ "$failures" -eq 0 ] && echo "language test: all passed"
exit $((failures > 0))
