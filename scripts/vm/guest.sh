#!/bin/bash
# The checks of scripts/vm-check.sh, inside the guest: tarnik, velmora and
# tarnik.exe (Wine) against the simulated modules behind /dev/ttyS1 (16550,
# 8250 driver) and /dev/ttyUSB0 (FTDI, ftdi_sio). Run by the initramfs's init
# in the host's root, with the results share as $1: config.sh there says where
# the programs are; every check appends "pass|fail<TAB>name<TAB>detail" to
# results; the programs' output goes to logs/. What the simulators cannot do by
# themselves (a new module, a power cycle, the adapter unplugged and plugged
# in) the host does on request over the virtio port tarnik.control; "mark NAME"
# and "mark NAME.end" bracket what the host then reads from QEMU's trace.
set -uo pipefail
share=$1
out=$share/run
# shellcheck source=/dev/null
. "$out/config.sh"
logs=$out/logs
mkdir -p "$logs"
export HOME=/tmp/home LANG=C.UTF-8 PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin
mkdir -p "$HOME"
exec >>"$logs/guest.log" 2>&1
echo "guest up at $(cut -d' ' -f1 /proc/uptime) s"

# Results are gathered here (appends from checks that run at once stay whole)
# and copied to the share at the end.
results=/tmp/results
: >"$results"
trap 'cp "$results" "$out/results"' EXIT
# The share gets a copy after each result, so that a guest stopped half-way
# still tells what it found.
result() {
  printf '%s\t%s\t%s\n' "$1" "$2" "$3" >>"$results"
  cp "$results" "$out/results.$BASHPID" && mv -f "$out/results.$BASHPID" "$out/results"
}
pass() { result pass "$@"; }
fail() { result fail "$@"; }
# expect NAME DETAIL COMMAND...: passes when COMMAND succeeds.
expect() {
  local name=$1 detail=$2
  shift 2
  if "$@"; then pass "$name" "$detail"; else fail "$name" "$detail"; fi
}
wanted() { [ -z "$only" ] || [[ " $only " == *" $1 "* ]]; }
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

# host REQUEST...: one request to the host, its answer on standard output.
control=
for port in /sys/class/virtio-ports/*; do
  [ "$(cat "$port/name" 2>/dev/null)" = tarnik.control ] && control=/dev/${port##*/}
done
exec 9<>"$control"
host() {
  local reply
  { flock 8; printf '%s\n' "$*" >&9; IFS= read -r -t 60 reply <&9; } 8>/tmp/host.lock
  echo "host $*: $reply" >>"$logs/host.log"
  [[ $reply == ok* ]] || return 1
  echo "${reply#ok }"
}
mark() { host mark "$1" >/dev/null; }

# tk LOG SECONDS ARGUMENTS...: tarnik with a time limit, standard output in
# logs/LOG.out, errors in logs/LOG.err; sets rc and secs.
rc=0 secs=0
tk() {
  local log=$1 limit=$2 t0
  shift 2
  t0=$(now)
  timeout -k 2 "$limit" "$tarnik" "$@" </dev/null >"$logs/$log.out" 2>"$logs/$log.err"
  rc=$?
  secs=$(since "$t0")
}
# json LOG FILTER: a value of the JSON that LOG's run printed.
json() { jq -r "$2" "$logs/$1.out" 2>/dev/null; }
# await SECONDS COMMAND...: until COMMAND succeeds, at most SECONDS (whole).
# Waits with bash's own clock and tests: a process started every tenth of a
# second (awk, date, jq) costs the emulated CPU enough to delay the module's
# answers to the program under test past its 70 ms.
await() {
  local deadline=$((${EPOCHREALTIME%[.,]*} + $1))
  shift
  until "$@"; do
    [ "${EPOCHREALTIME%[.,]*}" -gt "$deadline" ] && return 1
    sleep 0.2
  done
}
# At least $1 units in the bench log $2 have ended (done or failed). A unit's
# "started" record is written before its first change and does not count; a
# line still being written has no result yet and does not count either.
units_in() {
  local line count=0
  [ -f "$2" ] || return 1
  while IFS= read -r line; do
    [[ $line == *'"result":"'* && $line != *'"result":"started"'* ]] && count=$((count + 1))
  done <"$2"
  [ "$count" -ge "$1" ]
}
# The units' last records, in the order they ended.
ended() { jq -rs "map(select(.result != \"started\")) | $1" "$2" 2>/dev/null; }
holds() { ls -l "/proc/$1/fd" 2>/dev/null | grep -q -- "-> $2\$"; }

# ---------------------------------------------------------------- devices
/lib/systemd/systemd-udevd --daemon >/dev/null 2>&1
udevadm trigger --action=add >/dev/null 2>&1
udevadm settle -t 30
usb=/dev/ttyUSB0
by_id=$(ls /dev/serial/by-id/*"$usb_serial"* 2>/dev/null | head -1)
echo "devices at $(cut -d' ' -f1 /proc/uptime) s: $(ls /dev/ttyS1 $usb 2>&1 | tr '\n' ' ') by-id $by_id"
if [ ! -c /dev/ttyS1 ] || [ ! -c "$usb" ]; then
  fail "guest: /dev/ttyS1 and $usb present" "$(ls -l /dev/ttyS1 $usb 2>&1 | tr '\n' ' ')"
  exit 1
fi
adapter_back() { [ -c "$usb" ] && [ -e "$by_id" ]; }
adapter_gone() { [ ! -e "$usb" ]; }

# ---------------------------------------------------------------- each driver
# The workflows through one driver: P is ttyS1 or ttyUSB0, SIM its simulator,
# BASE the serial numbers its modules get, LINE where its first module answers.
driver_checks() {
  local tty=$1 sim=$2 base=$3 baud=$4 frame=$5
  local port=/dev/$tty data=${5:0:1} parity=${5:1:1} stop=${5:2:1}
  local line=$baud,$data,$parity,$stop

  host swap "$sim" --serial "$base" --fault 'silence:*:-1' >/dev/null
  mark "scan-silent-$tty"
  tk "scan-silent-$tty" 30 --port "$port" scan
  mark "scan-silent-$tty.end"
  expect "$tty: scan of a silent module: every line setting tried, exit 4" "exit $rc, ${secs} s" test "$rc" = 4

  host swap "$sim" --serial $((base + 1)) --baud "$baud" --frame "$frame" >/dev/null
  tk "scan-$tty" 30 --port "$port" scan
  local found
  found=$(head -1 "$logs/scan-$tty.out")
  expect "$tty: scan finds the module at $line" "exit $rc, ${secs} s: $found" \
    test "$rc" = 0 -a "$found" = "$port: $(settings_text "$baud" "$data" "$parity" "$stop")"

  mark "read-$tty"
  tk "read-$tty" 20 --port "$port" --line "$line" read --json
  mark "read-$tty.end"
  expect "$tty: read" "exit $rc, ${secs} s, serial $(json "read-$tty" .serialNumber)" \
    test "$rc" = 0 -a "$(json "read-$tty" '[.serialNumber, .baudRate, .dataBits, .parity, .stopBits] | join(",")')" = \
    "$((base + 1)),$baud,$data,$parity,$stop"

  tk "write-$tty" 20 --port "$port" --line "$line" --yes write --baud 19200 --data-bits 7 --parity E --stop-bits 2 \
    --channel 7 --address 12 --reload --json
  expect "$tty: write of new line settings (19200 7E2), read back" "exit $rc, ${secs} s" \
    test "$rc" = 0 -a "$(json "write-$tty" '[.baudRate, .dataBits, .parity, .stopBits, .channel, .address] | join(",")')" = \
    "19200,7,E,2,7,12"
  mark "newline-$tty"
  tk "newline-$tty" 20 --port "$port" --line 19200,7,E,2 read --json
  mark "newline-$tty.end"
  expect "$tty: read at the new line settings" "exit $rc, ${secs} s" \
    test "$rc" = 0 -a "$(json "newline-$tty" '[.baudRate, .channel] | join(",")')" = "19200,7"

  tk "init-$tty" 20 --port "$port" --line 19200,7,E,2 --yes init --json
  expect "$tty: init (factory settings, 9600 8N1)" "exit $rc, ${secs} s" \
    test "$rc" = 0 -a "$(json "init-$tty" '[.baudRate, .dataBits, .parity, .stopBits, .channel, .address] | join(",")')" = \
    "9600,8,N,1,0,0"

  local mode number
  for mode in master:1 slave:2 standard:0; do
    number=${mode#*:} mode=${mode%:*}
    tk "mode-$mode-$tty" 20 --port "$port" --line 9600,8,N,1 --yes mode "$mode" --json
    expect "$tty: mode $mode" "exit $rc, ${secs} s, stored mode $(json "mode-$mode-$tty" .storedMode)" \
      test "$rc" = 0 -a "$(json "mode-$mode-$tty" .storedMode)" = "$number"
  done

  tk "escape-master-$tty" 20 --port "$port" --line 9600,8,N,1 --yes mode master
  host power "$sim" >/dev/null
  tk "escape-$tty" 20 --port "$port" --yes escape --baud 9600 --json
  expect "$tty: escape from transparent mode after a power-up" \
    "exit $rc, ${secs} s, running mode $(json "escape-$tty" .runningMode)" \
    test "$rc" = 0 -a "$(json "escape-$tty" .runningMode)" = 0 -a -n "$(grep 'escape string taken' "$out/$sim.log")"

  provision_checks "$tty" "$sim" $((base + 10))
}

settings_text() {
  local parity
  case "$3" in N) parity=none ;; E) parity=even ;; O) parity=odd ;; esac
  echo "$1bps, $2bits, $parity, stop$4"
}

# Two units through Enter at the prompt; the host swaps the module in between.
# The emulated lines are at the mercy of this machine's scheduler: an answer
# held up on the host past the module's 70 ms fails a unit now and then
# (two units, some forty exchanges in a row). So a failed run is tried once
# more with two new units, and the check says so; a driver that fails
# provisioning fails both.
provision_checks() {
  local tty=$1 sim=$2 first=$3 detail
  local profile=$logs/profile.json
  echo '{"channel": 12, "baudRate": 19200, "dataBits": 8, "parity": "N", "stopBits": 1, "pins": "1000"}' >"$profile"
  if provision_run "$tty" "$sim" "$first" "$logs/units-$tty.jsonl" "$logs/provision-$tty"; then
    pass "$tty: provision of two units" "$provision_detail"
    return
  fi
  detail=$provision_detail
  provision_run "$tty" "$sim" $((first + 5)) "$logs/units-$tty-again.jsonl" "$logs/provision-$tty-again"
  expect "$tty: provision of two units" "at the second try: $provision_detail; the first: $detail" \
    test "$provision_ok" = yes
}

# feed_line FD TEXT: a line to a program's input that may have ended already
# (a write to a fifo nobody reads would end this script with SIGPIPE).
feed_line() { (trap '' PIPE; echo "$2" >&"$1") 2>/dev/null; }

# provision_run TTY SIM FIRST LOG OUTPUT: two units, FIRST and FIRST + 1;
# sets provision_detail and provision_ok, succeeds when both were done.
provision_run() {
  local tty=$1 sim=$2 first=$3 log=$4 output=$5 feed=/tmp/provision-$1 pid input
  host swap "$sim" --serial "$first" >/dev/null
  rm -f "$feed" "$log"
  mkfifo "$feed"
  # --trace: when a unit fails, what came when is in the .err file.
  timeout -k 2 60 "$tarnik" --trace --port "/dev/$tty" --line 9600,8,N,1 --yes provision --from "$logs/profile.json" \
    --address-from 100 --log "$log" <"$feed" >"$output.out" 2>"$output.err" &
  pid=$!
  exec {input}>"$feed"
  if await 30 units_in 1 "$log"; then
    host swap "$sim" --serial $((first + 1)) >/dev/null
    feed_line "$input" ""
    await 30 units_in 2 "$log"
  fi
  feed_line "$input" q
  exec {input}>&-
  wait "$pid"
  rc=$?
  provision_detail="exit $rc: $(ended 'map("\(.serialNumber) \(.result) \(.address)") | join(", ")' "$log")"
  provision_ok=no
  [ "$rc" = 0 ] && [ "$(ended 'map("\(.serialNumber),\(.result),\(.address),\(.after.channel),\(.after.baudRate)") | join(" ")' "$log")" = \
    "$first,done,100,12,19200 $((first + 1)),done,101,12,19200" ] && provision_ok=yes
  [ "$provision_ok" = yes ]
}

# ---------------------------------------------------------------- both drivers
pair_check() {
  host swap uart --serial 100000050 >/dev/null
  host swap usb --serial 200000050 >/dev/null
  tk pair 30 --port /dev/ttyS1 --line 9600,8,N,1 --yes pair --peer-port "$usb" --channel 12 --baud 19200 \
    --log "$logs/pair.jsonl"
  local record
  record=$(jq -rs 'last | [.result, .master.serialNumber, .master.port, .master.storedMode, .slave.serialNumber, .slave.port,
                   .slave.storedMode, .baudRate] | join(",")' "$logs/pair.jsonl" 2>/dev/null)
  expect "pair: master on ttyS1, slave on ttyUSB0" "exit $rc, ${secs} s: $record" \
    test "$rc" = 0 -a "$record" = "done,100000050,/dev/ttyS1,1,200000050,$usb,2,19200"
}

# tarnik ports and velmora's port list name the adapter as udev describes it,
# with its by-id name, which serves as --port.
ports_checks() {
  tk ports 30 ports --json
  local entry vendor model serial
  entry=$(json ports ".[] | select(.path == \"$usb\") | [.byId, .vendor, .product, .serialNumber, .driver] | join(\"|\")")
  # udev writes the adapter's own names with "_" for each space.
  vendor=$(udevadm info -q property -n "$usb" | sed -n 's/^ID_VENDOR=//p')
  model=$(udevadm info -q property -n "$usb" | sed -n 's/^ID_MODEL=//p')
  serial=$(udevadm info -q property -n "$usb" | sed -n 's/^ID_SERIAL_SHORT=//p')
  echo "ports: udev says vendor '$vendor', model '$model', serial '$serial'; tarnik says '$entry'"
  expect "tarnik ports: the adapter as udev describes it, with its by-id name" "$entry" \
    test -n "$by_id" -a "$entry" = "$by_id|${vendor//_/ }|${model//_/ }|$serial|ftdi_sio" -a "$serial" = "$usb_serial"
  expect "tarnik ports: /dev/ttyS1 as a built-in port" \
    "$(json ports '.[] | select(.path == "/dev/ttyS1") | .description')" \
    test -n "$(json ports '.[] | select(.path == "/dev/ttyS1") | .name')"

  host swap usb --serial 200000055 >/dev/null
  tk by-id 30 --port "$by_id" --line 9600,8,N,1 read --json
  expect "the by-id name as --port" "exit $rc, ${secs} s, serial $(json by-id .serialNumber)" \
    test "$rc" = 0 -a "$(json by-id .serialNumber)" = 200000055

  QT_QPA_PLATFORM=offscreen timeout -k 2 60 "$velmora" --print-ports \
    </dev/null >"$logs/velmora-ports.out" 2>"$logs/velmora-ports.err"
  rc=$?
  local listed
  listed=$(grep -F "$usb " "$logs/velmora-ports.out" | head -1)
  expect "velmora's port list: the adapter with what udev says, and its by-id name" "exit $rc: $listed" \
    test -n "$listed" -a -n "$(grep -F "$usb_serial" <<<"$listed")" -a -n "$(grep -xF "port-list: $by_id" "$logs/velmora-ports.out")"
}

# While one tarnik holds /dev/ttyS1, a second tarnik and velmora are refused
# and told who has the port; after kill -9 of the first, the port serves at
# once. The holder is `tarnik monitor` waiting for input that never comes: a
# search would end after its 84 candidates, sooner than the two others start
# on the emulated CPU.
exclusive_checks() {
  host swap uart --serial 100000060 --fault 'silence:*:-1' >/dev/null
  local feed=/tmp/holder-feed input
  rm -f "$feed"
  mkfifo "$feed"
  "$tarnik" --port /dev/ttyS1 --line 9600,8,N,1 monitor <"$feed" >"$logs/holder.out" 2>"$logs/holder.err" &
  local holder=$!
  exec {input}>"$feed"
  await 10 holds "$holder" /dev/ttyS1
  tk busy 30 --port /dev/ttyS1 --line 9600,8,N,1 read --json
  expect "a second tarnik is refused while the first holds the port" \
    "exit $rc, cause $(json busy .cause), held by '$(json busy .heldBy)'" \
    test "$rc" = 3 -a "$(json busy .cause)" = busy -a -n "$(json busy .heldBy | grep -F "tarnik (pid $holder)")"
  QT_QPA_PLATFORM=offscreen timeout -k 2 60 "$velmora" --scan-benchmark /dev/ttyS1 \
    </dev/null >"$logs/velmora-busy.out" 2>"$logs/velmora-busy.err"
  local dialog
  dialog=$(grep '^dialog ' "$logs/velmora-busy.out" | head -1)
  expect "velmora is refused while tarnik holds the port" "${dialog:-no dialog}" \
    test -n "$(grep -F "使用中のプログラム：tarnik (pid $holder)" <<<"$dialog")"
  expect "the first tarnik still held the port meanwhile" "" holds "$holder" /dev/ttyS1
  kill -9 "$holder"
  wait "$holder" 2>/dev/null
  exec {input}>&-
  host swap uart --serial 100000061 >/dev/null
  tk after-kill 30 --port /dev/ttyS1 --line 9600,8,N,1 read --json
  expect "after kill -9 of the holder the port serves at once" "exit $rc, ${secs} s" \
    test "$rc" = 0 -a "$(json after-kill .serialNumber)" = 100000061
}

# unplugged TITLE LOG TEXT ARGUMENTS...: tarnik ARGUMENTS on the adapter,
# unplugged once its module has heard TEXT; the adapter is plugged in again.
# The bound: the exchange in hand gives up at its next byte (240 ms at 1200
# bps) once the kernel has told of the removal, which takes this guest up to a
# second under emulation.
bound=2
unplugged() {
  local title=$1 log=$2 text=$3 pid unplugged_at
  shift 3
  "$tarnik" "$@" </dev/null >"$logs/$log.out" 2>"$logs/$log.err" &
  pid=$!
  host unplug usb "$text" >/dev/null
  unplugged_at=$(now)
  await 30 sh -c "! kill -0 $pid 2>/dev/null"
  local gone_in
  gone_in=$(since "$unplugged_at")
  kill -9 "$pid" 2>/dev/null && echo "$log: still running after 30 s"
  wait "$pid"
  rc=$?
  # The message names the device and why it failed; the JSON object too.
  local message
  message=$(grep -F "$usb" "$logs/$log.err" | head -1)
  expect "$title: a message naming the device, exit 5, within $bound s" \
    "exit $rc after ${gone_in} s, path $(json "$log" .path), osReason $(json "$log" .osReason): ${message:-no line names $usb}" \
    test "$rc" = 5 -a -n "$message" -a "$(json "$log" .path)" = "$usb" -a "$(json "$log" .osReason)" != null -a \
    "$(awk -v s="$gone_in" -v b="$bound" 'BEGIN { print (s < b) }')" = 1
  host plug >/dev/null
  await 20 adapter_back
  expect "$title: the adapter is $usb again (nothing kept the old one open)" "$(ls /dev/ttyUSB* 2>&1 | tr '\n' ' ')" \
    adapter_back
}

unplug_checks() {
  host swap usb --serial 200000070 --baud 1200 >/dev/null
  unplugged "unplug during a read" unplug-read '"-PAD' --port "$usb" --line 1200,8,N,1 read --json
  unplugged "unplug during a write" unplug-write '"+SAD' --port "$usb" --line 1200,8,N,1 --yes write --channel 30 --json
}

# provision --next usb on the by-id name: a unit done, the next one unplugged
# during its write (logged as failed, nothing left open), the third done.
next_usb_checks() {
  local log=$logs/units-usb-next.jsonl pid profile=$logs/profile-1200.json
  echo '{"channel": 20, "baudRate": 1200, "dataBits": 8, "parity": "N", "stopBits": 1}' >"$profile"
  rm -f "$log"
  host swap usb --serial 200000080 >/dev/null
  "$tarnik" --port "$by_id" --line 9600,8,N,1 --yes provision --next usb --from "$profile" --address-from 300 \
    --log "$log" </dev/null >"$logs/provision-next.out" 2>"$logs/provision-next.err" &
  pid=$!
  await 30 units_in 1 "$log"
  host unplug >/dev/null
  await 20 adapter_gone
  host swap usb --serial 200000081 --baud 1200 >/dev/null
  host plug >/dev/null
  # Unplugged during the second unit's write.
  host unplug usb '"+SAD' >/dev/null
  await 30 units_in 2 "$log"
  await 20 adapter_gone
  local open
  open=$(ls -l "/proc/$pid/fd" 2>/dev/null | grep -c ttyUSB)
  expect "provision --next usb: the unit unplugged during its write is logged as failed" \
    "$(ended 'map("\(.serialNumber) \(.result): \(.reason)") | .[1] // "no record"' "$log")" \
    test "$(ended '.[1] | "\(.serialNumber),\(.result)"' "$log")" = "200000081,failed"
  expect "provision --next usb: no descriptor of the unplugged adapter left open" "$open open" test "$open" = 0
  host swap usb --serial 200000082 >/dev/null
  host plug >/dev/null
  await 40 units_in 3 "$log"
  kill -INT "$pid"
  wait "$pid"
  rc=$?
  expect "provision --next usb: unplug and replug advance to the next unit" \
    "exit $rc: $(ended 'map("\(.serialNumber) \(.result) \(.address)") | join(", ")' "$log"); $(grep '^provision:' "$logs/provision-next.out" "$logs/provision-next.err" | cut -d: -f2-)" \
    test "$(ended 'map("\(.serialNumber),\(.result),\(.address)") | join(" ")' "$log")" = \
    "200000080,done,300 200000081,failed,301 200000082,done,302"
}

# tarnik.exe under Wine, COM1 being this guest's 16550: the module at 57600
# 7O1 (odd parity, which a pseudo-terminal cannot carry).
wine_checks() {
  export WINEPREFIX=$share/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  host swap uart --serial 100000090 --baud 57600 --frame 7O1 >/dev/null
  local t0
  t0=$(now)
  timeout 150 wine cmd /c exit </dev/null >"$logs/wine-boot.log" 2>&1
  # The prefix goes on setting itself up (wineboot, its services) after the
  # first program has ended; on an emulated CPU that takes minutes and would
  # starve the programs under test. Wait until it is done.
  local _
  for _ in $(seq 240); do
    grep -qs '^wineboot' /proc/[0-9]*/comm || break
    sleep 1
  done
  echo "wine: prefix up in $(since "$t0") s"
  mark wine
  stty -F /dev/ttyS1 -a >"$logs/wine-stty-before.log" 2>&1
  timeout -k 2 120 wine "$tarnik_exe" --port COM1 scan </dev/null >"$logs/wine-scan.out" 2>"$logs/wine-scan.err" &
  local scan=$!
  # Where Wine's threads wait when the search stalls: the kernel's wait
  # channels, the port's modem lines and its termios, once a search should
  # have gone well past its first candidates.
  (
    sleep 40
    for p in /proc/[0-9]*; do
      case $(cat "$p/comm" 2>/dev/null) in *wine*|*tarnik*|*.exe) ;; *) continue ;; esac
      for t in "$p"/task/*; do echo "$(cat "$p/comm") $(basename "$t") $(cat "$t/wchan" 2>/dev/null)"; done
    done
    cat /proc/tty/driver/serial
    stty -F /dev/ttyS1 -a
  ) >"$logs/wine-stall.log" 2>&1 &
  local sampler=$!
  wait "$scan"
  rc=$?
  kill "$sampler" 2>/dev/null
  wait "$sampler" 2>/dev/null
  local found
  found=$(head -1 "$logs/wine-scan.out" | tr -d '\r')
  expect "tarnik.exe under Wine: scan on COM1 (ttyS1) finds 57600 7O1" "exit $rc: $found" \
    test "$rc" = 0 -a "$found" = "COM1: 57600bps, 7bits, odd, stop1"
  timeout -k 2 120 wine "$tarnik_exe" --port COM1 --line 57600,7,O,1 read --json </dev/null \
    >"$logs/wine-read.out" 2>"$logs/wine-read.err"
  rc=$?
  mark wine.end
  expect "tarnik.exe under Wine: read at 57600 7O1" "exit $rc, serial $(json wine-read .serialNumber)" \
    test "$rc" = 0 -a "$(json wine-read '[.serialNumber, .dataBits, .parity] | join(",")')" = "100000090,7,O"
  wineserver -k 2>/dev/null
}

t0=$(now)
if wanted drivers; then
  # One driver after the other: with both at once the two programs share this
  # guest's emulated CPUs and answers came too late for the module's 70 ms wait
  # between bytes (three writes on ttyUSB0 failed in one such run); one after
  # the other is also quicker on two host cores.
  driver_checks ttyS1 uart 100000001 38400 7O2
  driver_checks ttyUSB0 usb 200000001 4800 7O1
fi
wanted pair && pair_check
wanted ports && ports_checks
wanted exclusive && exclusive_checks
wanted unplug && unplug_checks
wanted next-usb && next_usb_checks
wanted wine && wine_checks
echo "checks done in $(since "$t0") s"
touch "$out/complete"
