#!/usr/bin/env bash
# The program on the kernel's own serial drivers: boots Debian's kernel under
# QEMU (TCG) with an emulated 16550 UART (/dev/ttyS1, the 8250 driver) and an
# emulated FTDI adapter on xHCI (/dev/ttyUSB0, ftdi_sio), each wired to a
# tarnik-sim module on a pseudo-terminal of this machine, and runs tarnik,
# velmora and tarnik.exe (Wine) in the guest against them (scripts/vm/guest.sh).
# What the hardware was told (line settings, DTR and RTS) is read from QEMU's
# trace events, not from the pseudo-terminals, which drop 7 data bits and parity.
#
#   scripts/vm-check.sh [--only CHECK,...]    CHECK: a group of scripts/vm/guest.sh
#
# Prints every check with its result and ends with "N passed, M failed"; exits
# non-zero when one failed. Installs what is missing with apt-get (as root).
# build-vm/ holds the kernel package unpacked, the initramfs, the share the
# guest writes its results into (share/run) and its Wine prefix (share/wine),
# and this run's logs (host/: console, QEMU trace, simulators, monitor).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
vm=$root/build-vm
host=$vm/host
share=$vm/share
run=$share/run
only=
while [ $# -gt 0 ]; do
  case "$1" in
    --only) only=$2; shift 2 ;;
    *) echo "usage: $0 [--only CHECK,...]" >&2; exit 2 ;;
  esac
done

started=$SECONDS
step() { echo "== [$((SECONDS - started)) s] $*"; }

# ---------------------------------------------------------------- packages
step "packages"
scripts/deps.sh qemu-system-x86 busybox-static udev kmod xz-utils jq wine wine64

# ---------------------------------------------------------------- kernel
# linux-image-amd64 names the current kernel package; its image and modules are
# fetched once and kept. The uncompressed vmlinux boots in about half the time
# of vmlinuz under TCG.
kernel_package() { apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*\)$/\1/p' | head -1; }
package=$(kernel_package)
if [ -z "$package" ]; then
  apt-get -o DPkg::Lock::Timeout=600 update -qq
  package=$(kernel_package)
fi
[ -n "$package" ] || { echo "linux-image-amd64 names no kernel package" >&2; exit 1; }
kernel_version=${package#linux-image-}
kernel=$vm/kernel/$kernel_version
if [ ! -f "$kernel/ready" ]; then
  step "kernel $package (into $kernel)"
  rm -rf "$kernel"
  mkdir -p "$kernel"
  (cd "$kernel" && apt-get download "$package" 2>&1 | grep -v '^W: Download is performed unsandboxed' || true)
  deb=$(ls "$kernel"/*.deb)
  dpkg-deb -x "$deb" "$kernel/root"
  image=$kernel/root/boot/vmlinuz-$kernel_version
  offset=$(LC_ALL=C grep -obUa $'\xfd7zXZ\x00' "$image" | head -1 | cut -d: -f1)
  [ -n "$offset" ] || { echo "$image holds no xz payload" >&2; exit 1; }
  tail -c +$((offset + 1)) "$image" | xz -dcq >"$kernel/vmlinux" 2>/dev/null || true
  file -b "$kernel/vmlinux" | grep -q '^ELF 64-bit' || { echo "no vmlinux in $image" >&2; exit 1; }
  depmod -b "$kernel/root" "$kernel_version"
  rm -f "$deb"
  touch "$kernel/ready"
fi

# ---------------------------------------------------------------- programs
# The normal build, when there is one (only what the guest runs is brought up
# to date); otherwise configured as ./run.sh does.
step "programs"
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
command -v ccache >/dev/null || unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_UI=ON -DVELMORA_BUILD_CLI=ON >/dev/null
fi
cmake --build build -j 2 --target tarnik tarnik-sim velmora >/dev/null
# tarnik.exe: from the Windows check's build (CI runs it first), else the release build.
win_build=
for dir in build-win build-win-release; do
  if [ -f "$dir/CMakeCache.txt" ]; then win_build=$dir; break; fi
done
if [ -z "$win_build" ]; then
  scripts/windows-package.sh --build-dir build-win-release >/dev/null
  win_build=build-win-release
fi
cmake --build "$win_build" -j 2 --target tarnik >/dev/null
tarnik_exe=$root/$win_build/cli/tarnik.exe

# ---------------------------------------------------------------- initramfs
# busybox, the modules the guest needs (with what they depend on, in order) and
# scripts/vm/init.
step "initramfs"
initrd=$vm/initramfs
rm -rf "$initrd"
mkdir -p "$initrd"/{bin,lib,proc,dev,newroot}
cp /bin/busybox "$initrd/bin/"
cp scripts/vm/init "$initrd/init"
for module in virtio_pci 9pnet_virtio 9p virtio_console xhci_pci ftdi_sio; do
  modprobe -d "$kernel/root" -S "$kernel_version" --show-depends "$module" | awk '$1 == "insmod" {print $2}'
done | awk '!seen[$0]++' >"$vm/modules"
while read -r module; do cp "$module" "$initrd/lib/"; done <"$vm/modules"
sed 's|.*/||' "$vm/modules" >"$initrd/lib/order"
(cd "$initrd" && find . | busybox cpio -o -H newc 2>/dev/null) >"$vm/initramfs.cpio"

# ---------------------------------------------------------------- Wine prefix
# Made here, where it boots in seconds, not in the guest; COM1 leads to the
# guest's 16550. Kept between runs.
step "Wine prefix (COM1 = /dev/ttyS1 in the guest)"
wine_log=$host/wine.log
mkdir -p "$host" "$share"
: >"$wine_log"
export WINE_ENV_LOG=$wine_log
# shellcheck source=scripts/wine-env.sh
. scripts/wine-env.sh
wine_env_start "$share/wine"
wine_env_map_com COM1 /dev/ttyS1 || exit 1
wine_env_stop

# ---------------------------------------------------------------- modules and QEMU
# Two simulated modules, one behind each driver. Their standard input is a FIFO
# the host side of the bench writes to (swap, power); their logs are in the
# share, where the guest reads what they heard.
rm -rf "$run"
mkdir -p "$run"
rm -f "$host"/*.in "$host"/*.out "$host"/trace.log "$host"/marks
sim_pids=() qemu_pid= agent_pid=
cleanup() {
  local status=$?
  for pid in "$agent_pid" "$qemu_pid" "${sim_pids[@]}"; do
    [ -n "$pid" ] || continue
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The emulated hardware keeps the module's time: the guest's clock runs on
# while QEMU or a simulator waits for a CPU, and an answer that waited counts
# as late against the program's 70 ms. Both run ahead of whatever else this
# machine does (a build beside the check); as root only.
ahead=()
[ "$(id -u)" -eq 0 ] && ahead=(nice -n -10)
declare -A sim_pid sim_fd
start_sim() {  # NAME tarnik-sim options...
  local name=$1 fd
  shift
  mkfifo "$host/$name.in"
  exec {fd}<>"$host/$name.in"
  "${ahead[@]}" build/sim/tarnik-sim --link "$host/$name.pty" "$@" <"$host/$name.in" >/dev/null 2>"$run/$name.log" &
  sim_pid[$name]=$!
  sim_fd[$name]=$fd
  sim_pids+=("$!")
  local _
  for _ in $(seq 100); do
    [ -L "$host/$name.pty" ] && return 0
    sleep 0.05
  done
  cat "$run/$name.log" >&2
  return 1
}
step "tarnik-sim behind ttyS1 and ttyUSB0"
start_sim uart --serial 100000001 --baud 38400 --frame 7O2
start_sim usb --serial 200000001 --baud 4800 --frame 7O1

usb_serial=TK-VM-0001
usb_device="usb-serial,id=adapter,bus=xhci.0,chardev=usb,serial=$usb_serial"
cat >"$run/config.sh" <<EOF
root=$root
tarnik=$root/build/cli/tarnik
velmora=$root/build/ui/qt/velmora
tarnik_exe=$tarnik_exe
usb_serial=$usb_serial
only='${only//,/ }'
EOF

# What QEMU traces: the 16550's register writes and line parameters, the FTDI
# adapter's control requests (line settings, DTR and RTS) and what it refused.
cat >"$host/trace-events" <<EOF
serial_write
serial_update_parameters
usb_serial_handle_control
usb_serial_set_baud
usb_serial_set_data
usb_serial_unsupported_*
EOF
for pipe in control monitor; do mkfifo "$host/$pipe.in" "$host/$pipe.out"; done

step "guest: boot and checks"
timeout 480 "${ahead[@]}" qemu-system-x86_64 -accel tcg -cpu max,-smap -smp 2 -m 1536 -nodefaults -no-reboot -display none \
  -kernel "$kernel/vmlinux" -initrd "$vm/initramfs.cpio" \
  -append "console=ttyS0 quiet loglevel=1 panic=-1 vm.checks=$root/scripts/vm/guest.sh" \
  -serial stdio -serial chardev:uart \
  -chardev serial,id=uart,path="$(readlink "$host/uart.pty")" \
  -chardev serial,id=usb,path="$(readlink "$host/usb.pty")" \
  -device qemu-xhci,id=xhci -device "$usb_device" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
  -virtfs local,path="$root",mount_tag=checkout,security_model=none,readonly=on,multidevs=remap \
  -virtfs local,path="$share",mount_tag=results,security_model=none,multidevs=remap \
  -device virtio-serial-pci -chardev pipe,id=control,path="$host/control" \
  -device virtserialport,chardev=control,name=tarnik.control \
  -chardev pipe,id=monitor,path="$host/monitor" -mon chardev=monitor,mode=readline \
  -msg timestamp=on -trace events="$host/trace-events",file="$host/trace.log" \
  </dev/null >"$host/console.log" 2>&1 &
qemu_pid=$!
cat "$host/monitor.out" >"$host/monitor.log" &

# The bench's hands, at the guest's request (one line each way on the virtio
# port): mark NAME (a time in the trace), swap SIM [OPTIONS], power SIM,
# unplug [SIM TEXT] (after SIM's log shows TEXT), plug.
monitor() { echo "$*" >"$host/monitor.in"; }
sim_lines() { wc -l <"$run/$1.log"; }
# Waits up to SECONDS for a line matching TEXT past line FROM of SIM's log.
await_sim() {  # SIM FROM TEXT SECONDS
  local deadline=$((SECONDS + $4))
  while [ "$SECONDS" -le "$deadline" ]; do
    tail -n +$(($2 + 1)) "$run/$1.log" | grep -qF -- "$3" && return 0
    sleep 0.02
  done
  return 1
}
agent() {
  local command name rest from
  set +e
  exec 3<>"$host/control.out" 4>"$host/control.in"
  while read -r command name rest <&3; do
    case "$command" in
      mark) echo "$name $(date +%s.%N)" >>"$host/marks"; echo ok >&4 ;;
      swap | power | unplug)
        if [ -n "$name" ] && [ -z "${sim_pid[$name]:-}" ]; then echo "error: no simulator '$name'" >&4; continue; fi ;;&
      swap | power)
        from=$(sim_lines "$name")
        if [ "$command" = swap ]; then echo "swap $rest" >&"${sim_fd[$name]}"; else kill -USR1 "${sim_pid[$name]}"; fi
        if await_sim "$name" "$from" "$([ "$command" = swap ] && echo 'swap: module' || echo 'power cycle')" 5; then
          echo ok >&4
        else
          echo "error: $name did not take '$command $rest'" >&4
        fi ;;
      unplug)
        if [ -n "$name" ] && ! await_sim "$name" "$(sim_lines "$name")" "$rest" 30; then
          echo "error: $name never showed '$rest'" >&4
          continue
        fi
        monitor device_del adapter
        echo "ok $(date +%s.%N)" >&4 ;;
      plug) monitor device_add "$usb_device"; echo ok >&4 ;;
      *) echo "error: unknown request '$command'" >&4 ;;
    esac
  done
}
agent &
agent_pid=$!

qemu_status=0
wait "$qemu_pid" || qemu_status=$?
qemu_pid=
step "guest stopped (QEMU status $qemu_status)"

# ---------------------------------------------------------------- trace
# What each device was told between the guest's marks NAME and NAME.end: the
# line settings it was set to (baud/parity/data bits/stop bits) and its DTR and
# RTS pulses (raised, then dropped), with their median length. The 16550 is the
# one that NAME's ttyS1 (or wine) names, seen in its line parameters and its
# modem control register (offset 4: DTR bit 0, RTS bit 1); the FTDI adapter's
# are its SET_BAUD_RATE, SET_DATA and SET_MODEM_CTRL requests (0x4001: DTR bit
# 0 and RTS bit 1, each taking effect where bit 8 or 9 is set). Windows start
# with both lines inactive: each brackets a whole run of a program.
# One line a window: NAME DEVICE DTR-PULSES RTS-PULSES MEDIAN-MS SETTING...
trace_windows() {
  awk '
    function hex(text,   v, i) {
      v = 0; text = tolower(substr(text, 3))
      for (i = 1; i <= length(text); i++) v = v * 16 + index("0123456789abcdef", substr(text, i, 1)) - 1
      return v
    }
    function bit(v, k) { return int(v / 2 ^ k) % 2 }
    # The adapter divides its clock: 57600 comes out as 57553.
    function standard(baud,   i, rates, n) {
      n = split("1200 2400 4800 9600 19200 38400 57600 115200", rates, " ")
      for (i = 1; i <= n; i++) if (baud > rates[i] * 0.98 && baud < rates[i] * 1.02) return rates[i]
      return baud
    }
    function stamp(line) { sub(/^[0-9]+@/, "", line); sub(/:.*/, "", line); return line + 0 }
    function line_change(dev, t, dtr, rts,   w) {
      for (w in device) {
        if (device[w] != dev || t < begins[w] || t > ends[w]) continue
        pulse(w, "dtr", dtr, t); pulse(w, "rts", rts, t)
      }
    }
    function pulse(w, name, level, t) {
      if (level && !high[w, name]) { high[w, name] = 1; since[w, name] = t; count[w, name]++ }
      else if (!level && high[w, name]) { high[w, name] = 0; lengths[w] = lengths[w] " " (t - since[w, name]) * 1000 }
    }
    function setting(dev, t, key,   w) {
      for (w in device)
        if (device[w] == dev && t >= begins[w] && t <= ends[w] && !((w, key) in seen)) {
          seen[w, key] = 1; settings[w] = settings[w] " " key
        }
    }
    function median(list,   n, v, i, j, x) {
      n = split(list, v, " ")
      if (n == 0) return "-"
      for (i = 2; i <= n; i++) { x = v[i] + 0; for (j = i - 1; j >= 1 && v[j] + 0 > x; j--) v[j + 1] = v[j]; v[j + 1] = x }
      return sprintf("%.1f", n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2)
    }
    FNR == NR {
      name = $1; end = sub(/\.end$/, "", name)
      if (end) ends[name] = $2; else { begins[name] = $2; device[name] = name ~ /ttyUSB/ ? "usb" : "uart" }
      next
    }
    /:serial_update_parameters / {
      split($0, f, /[ =]/)
      setting("uart", stamp($0), f[3] "/" substr(f[5], 2, 1) "/" f[7] "/" f[9])
    }
    /:serial_write .*addr 0x04 / {
      v = hex($NF); line_change("uart", stamp($0), bit(v, 0), bit(v, 1))
    }
    /:usb_serial_set_baud / { baud = standard($NF); setting("usb", stamp($0), baud "/" parity "/" data "/" stop) }
    /:usb_serial_set_data / {
      parity = $5; sub(/,/, "", parity); data = $8; sub(/,/, "", data); stop = $NF
      setting("usb", stamp($0), baud "/" parity "/" data "/" stop)
    }
    /:usb_serial_handle_control .*control 0x4001,/ {
      v = hex($NF)
      if (bit(v, 8)) dtr = bit(v, 0)
      if (bit(v, 9)) rts = bit(v, 1)
      line_change("usb", stamp($0), dtr, rts)
    }
    END {
      for (w in device)
        if (w in ends) print w, device[w], count[w, "dtr"] + 0, count[w, "rts"] + 0, median(lengths[w]) settings[w]
    }' "$host/marks" "$host/trace.log" | sort
}

results=$run/results
[ -f "$results" ] || { echo "no results from the guest; its console:" >&2; tail -30 "$host/console.log" >&2; }
touch "$results"
# A guest that died or ran out of time leaves no mark of its end.
[ -f "$run/complete" ] || printf 'fail\tguest: every check ran to its end\tsee %s\n' "$host/console.log" >>"$results"
if [ -f "$host/marks" ]; then
  trace_windows >"$host/windows"
  every_setting=$(for b in 1200 2400 4800 9600 19200 38400 57600; do for p in N E O; do for d in 7 8; do
    for s in 1 2; do echo "$b/$p/$d/$s"; done; done; done; done)
  trace_result() { printf '%s\t%s\t%s\n' "$1" "$2" "$3" >>"$results"; }
  while read -r name dev dtr rts median settings; do
    case "$name" in
      scan-silent-*)
        missing=$(comm -23 <(sort <<<"$every_setting") <(tr ' ' '\n' <<<"$settings" | sort) | wc -l)
        trace_result "$([ "$missing" = 0 ] && echo pass || echo fail)" \
          "${name##*-}: the hardware took each of the 84 line settings of a scan (12 frames at 7 speeds)" \
          "$(wc -w <<<"$settings") set, $missing of the 84 missing" ;;&
      scan-silent-* | read-*)
        # Meaningful only where the program did set the device up. The port
        # is held for the whole command, and between commands it rests at
        # speed 0, so that the next open does not raise the lines. What the
        # kernel still does, and no program can keep it from: it raises both
        # lines when a port leaves speed 0 (the program drops them again at
        # once, a fraction of a millisecond), or, on the first open after the
        # driver loaded, in open itself. So one pulse a command remains.
        trace_result "$([ "$dtr" -le 1 ] && [ "$rts" -le 1 ] && [ -n "$settings" ] && echo pass || echo fail)" \
          "${name##*-}: DTR and RTS pulse at most once during a whole $([[ $name == read-* ]] && echo read || echo scan)" \
          "DTR pulses $dtr, RTS pulses $rts, median $median ms" ;;
      newline-*)
        trace_result "$([[ " $settings " == *" 19200/E/7/2 "* ]] && echo pass || echo fail)" \
          "${name#newline-}: the hardware runs at the new line settings 19200 7E2 after the write" "$settings" ;;
      wine)
        trace_result "$([[ " $settings " == *" 57600/O/7/1 "* ]] && echo pass || echo fail)" \
          "ttyS1: Wine set the 16550 to 57600 7O1" "$settings; DTR pulses $dtr, RTS pulses $rts" ;;
    esac
  done <"$host/windows"
fi

# ---------------------------------------------------------------- results
passed=$(grep -c '^pass' "$results" || true)
failed=$(grep -c '^fail' "$results" || true)
awk -F'\t' '{ printf "%-4s  %s%s\n", toupper($1), $2, ($3 == "" ? "" : "  [" $3 "]") }' "$results"
step "done (logs: $run/logs, $host)"
echo "$passed passed, $failed failed"
[ "$failed" = 0 ] && [ "$passed" -gt 0 ]
