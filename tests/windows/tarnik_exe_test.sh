#!/usr/bin/env bash
# tarnik.exe under Wine against tarnik-sim behind a COM port, as a user runs
# it: the port list, scan, read and write, the exit codes, the Japanese texts
# on the console, a profile whose file name is Japanese, and the confirmation
# asked on the console. scripts/windows-check.sh provides the module:
#   TARNIK_COM_PORT   the COM port Wine maps to tarnik-sim's pseudo-terminal
#   TARNIK_SIM_*      what tarnik-sim was started with (serial, version, line)
#   TARNIK_EXTRA_MODULES  more modules, "PORT:BAUD:FRAME:SERIAL ...", each
#                     found by the search, read and written at its own settings
#
#   tarnik_exe_test.sh TARNIK_EXE WINE
set -uo pipefail
tarnik_exe=$1
wine=$2
port=${TARNIK_COM_PORT:-}
if [ -z "$port" ]; then
  echo "TARNIK_COM_PORT names no port: run scripts/windows-check.sh" >&2
  exit 1
fi
serial=${TARNIK_SIM_SERIAL:?}
version=${TARNIK_SIM_VERSION:?}
line=${TARNIK_SIM_LINE:?}  # as scan prints it: "38400bps, 7bits, odd, stop2"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A console run that ended before its question must not end this script (the
# answer typed into its closed input).
trap "" PIPE
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# tarnik.exe speaks the user's language: Japanese here, from the catalog
# beside it (share\locale\ja\LC_MESSAGES\tarnik.mo), as velmora.exe's test runs.
export LC_ALL=ja_JP.UTF-8

# run NAME ARGS...: tarnik.exe with its output in $work/NAME.out and .err
# (carriage returns dropped), its exit code in $rc.
run() {
  local name=$1
  shift
  "$wine" "$tarnik_exe" "$@" </dev/null >"$work/$name.raw" 2>"$work/$name.err"
  rc=$?
  tr -d '\r' <"$work/$name.raw" >"$work/$name.out"
}
expect_rc() { [ "$rc" = "$2" ] || fail "$1: exit code $rc, expected $2; stderr: $(tail -n 3 "$work/$1.err")"; }
expect_out() { grep -qF -- "$2" "$work/$1.out" || fail "$1: no '$2' in: $(head -c 400 "$work/$1.out")"; }
expect_err() { grep -qF -- "$2" "$work/$1.err" || fail "$1: no '$2' on stderr: $(tail -n 3 "$work/$1.err")"; }
json_field() { sed -nE "s/^ *\"$2\": \"?([^\",]*)\"?,?$/\1/p" "$work/$1.out"; }

# console NAME PROMPT ANSWER ARGS...: tarnik.exe in a console window (Wine's
# console on a pseudo-terminal); ANSWER is typed once PROMPT shows. Typed any
# earlier, the terminal would still be in line mode and hand Wine a line feed,
# not the Enter key. What the window shows must be UTF-8.
console() {
  local name=$1 prompt=$2 answer=$3
  shift 3
  local typed=$work/$name.typed keys _
  mkfifo "$typed"
  script -qefc "$(printf '%q ' "$wine" "$tarnik_exe" "$@")" /dev/null <"$typed" >"$work/$name.raw" 2>&1 &
  local pid=$!
  exec {keys}>"$typed"
  for _ in $(seq 600); do
    grep -qF -- "$prompt" "$work/$name.raw" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  printf '%s\r' "$answer" >&"$keys"
  exec {keys}>&-
  wait "$pid"
  rc=$?
  # The console's cursor and line sequences go; the text stays.
  sed -E 's/\x1b\[[0-9;?]*[a-zA-Z]//g; s/\r//g' "$work/$name.raw" >"$work/$name.out"
  cp "$work/$name.out" "$work/$name.err"
}
# ---- the port list: the mapped port, with the device Wine gives it
run ports ports
expect_rc ports 0
grep -qE "^$port +内蔵シリアルポート$" "$work/ports.out" ||
  fail "ports: no line '$port  内蔵シリアルポート' in: $(cat "$work/ports.out")"
run ports-json ports --json
expect_rc ports-json 0
tr -d ' \n' <"$work/ports-json.out" | grep -qE "\{\"name\":\"$port\",\"path\":\"\\\\\\\\Device\\\\\\\\Serial[0-9]+\"" ||
  fail "ports --json: no $port with path \\Device\\SerialN in: $(cat "$work/ports-json.out")"

# ---- usage errors and a port that does not exist: nothing reaches the module
#   name        expected code  arguments                                            message
usage_cases=(
  "bad-address 2 --port $port --yes write --address 10000|--address"
  "bad-port    2 --port LPT1 scan|COMn、デバイスパス、auto のいずれでもありません"
  "no-yes      2 --port $port write --address 5|--yes を付けてください"
  "missing     3 --port COM250 scan|"
)
for case in "${usage_cases[@]}"; do
  entry=${case%%|*}
  message=${case#*|}
  read -r name code args <<<"$entry"
  # shellcheck disable=SC2086  # the arguments are words
  run "$name" $args
  expect_rc "$name" "$code"
  [ -z "$message" ] || expect_err "$name" "$message"
done

# ---- scan and read: what the module answered, in UTF-8
run scan --port "$port" scan
expect_rc scan 0
expect_out scan "$port: $line"
expect_out scan "製造番号: $serial"

# Declined on the console, where the question is asked in Japanese: nothing
# may reach the module (the read below checks).
console console-decline "[y/N]" n --port "$port" write --address 9876
expect_rc console-decline 1
expect_out console-decline "設定 [y/N]"

run read --port "$port" --quiet read --json
expect_rc read 0
[ "$(json_field read serialNumber)" = "$serial" ] || fail "read: serialNumber $(json_field read serialNumber)"
[ "$(json_field read version)" = "$version" ] || fail "read: version $(json_field read version)"
address=$(json_field read address)
channel=$(json_field read channel)
[ -n "$address" ] && [ -n "$channel" ] || fail "read: no address or channel in $(cat "$work/read.out")"
[ "$address" != 9876 ] || fail "console-decline: the declined write reached the module"

other=$((address == 4321 ? 1234 : 4321))

# ---- monitor, its input from a file: the request in it goes out as typed and
# the module's answer is shown (the module is in standard mode here).
printf -- '-MAN\r\n' >"$work/monitor.in"
"$wine" "$tarnik_exe" --port "$port" --line "$(json_field read baudRate),$(json_field read dataBits),$(json_field read parity),$(json_field read stopBits)" \
  monitor <"$work/monitor.in" >"$work/monitor.raw" 2>"$work/monitor.err"
rc=$?
tr -d '\r' <"$work/monitor.raw" >"$work/monitor.out"
expect_rc monitor 0
expect_out monitor "*MAN: $serial"

# ---- write from a profile with a Japanese file name, read back, restore
profile=$work/設定プロファイル.json
sed -E "s/^( *\"address\": )[0-9]+/\1$other/" "$work/read.out" >"$profile"
run write-from --port "$port" --yes --quiet write --from "$(winepath -w "$profile" 2>/dev/null || echo "$profile")"
expect_rc write-from 0
run reread --port "$port" --quiet read --json
expect_rc reread 0
[ "$(json_field reread address)" = "$other" ] ||
  fail "write --from: address $(json_field reread address) after the write, expected $other (declined write or profile not read)"
[ "$(json_field reread channel)" = "$channel" ] || fail "write --from: channel changed to $(json_field reread channel)"

run restore --port "$port" --yes --quiet write --address "$address"
expect_rc restore 0

# ---- modules at other line settings, found by the search (no --line): the
# read and the write open the port again after the search, at the settings it
# found, which a pseudo-terminal holds as 8 data bits without parity.
for module in ${TARNIK_EXTRA_MODULES:-}; do
  IFS=: read -r mport mbaud mframe mserial <<<"$module"
  name=read-$mport
  run "$name" --port "$mport" --quiet read --json
  expect_rc "$name" 0
  [ "$(json_field "$name" serialNumber)" = "$mserial" ] || fail "$name: serialNumber $(json_field "$name" serialNumber)"
  got="$(json_field "$name" baudRate) $(json_field "$name" dataBits)$(json_field "$name" parity)$(json_field "$name" stopBits)"
  [ "$got" = "$mbaud $mframe" ] || fail "$name: line $got, expected $mbaud $mframe"
  name=write-$mport
  run "$name" --port "$mport" --yes --quiet write --address 77 --json
  expect_rc "$name" 0
  name=reread-$mport
  run "$name" --port "$mport" --quiet read --json
  [ "$(json_field "$name" address)" = 77 ] || fail "$name: address $(json_field "$name" address) after the write"
done

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) of tarnik.exe failed" >&2
  exit 1
fi
echo "tarnik.exe: all checks passed"
