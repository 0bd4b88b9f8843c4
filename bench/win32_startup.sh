#!/usr/bin/env bash
# Start-up of velmora.exe under Wine, against a bare Win32 dialog program
# (bench/win32) started the same way: from the command to the end of the
# process, each program showing and painting its window and ending at once
# (--exit-after-first-paint for velmora.exe). Runs alternate between the two
# programs with a warm, persistent wineserver on a private X server (:93).
#
#   bench/win32_startup.sh WIN_BUILD_DIR [RUNS]     (default 15 runs each)
#
# WIN_BUILD_DIR is a mingw-w64 build with -DVELMORA_BUILD_UI=ON -DVELMORA_BUILD_BENCH=ON
# in which velmora and win32_bare_dialog have been built; its Wine prefix for the
# benchmark is WIN_BUILD_DIR/bench-prefix. The bare dialog loads the common
# controls 6 as velmora.exe does (both carry the same manifest); it is also
# timed without them, and holding velmora.exe's own form made from that
# program's resource (the same controls, none of the program around them), for
# comparison. Prints the median and the spread of each;
# the last line is "ratio: X.XX" (velmora.exe / bare dialog with common
# controls, medians). The machine's other load shows in the spread: read the
# medians of a quiet machine.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 1 ]; then
  sed -n '2,19p' "$0" >&2
  exit 2
fi
win_dir=$(cd "$1" && pwd)
runs=${2:-15}
velmora=$win_dir/ui/win32/velmora.exe
bare=$win_dir/bench/win32/win32_bare_dialog.exe
for f in "$velmora" "$bare"; do
  [ -f "$f" ] || { echo "missing: $f" >&2; exit 2; }
done
scripts/deps.sh --only wine wine64 fonts-wine fonts-ipafont-gothic xvfb

export WINE_ENV_LOG=$win_dir/bench-wine.log
: >"$WINE_ENV_LOG"
# shellcheck source=../scripts/wine-env.sh
. scripts/wine-env.sh
trap wine_env_stop EXIT
wine_env_xvfb 93
wine_env_start "$win_dir/bench-prefix"

# Milliseconds one start takes, from the command to the end of the process.
start_ms() {
  local t0 t1
  t0=$(date +%s%N)
  wine "$@" </dev/null >>"$WINE_ENV_LOG" 2>&1
  t1=$(date +%s%N)
  echo $(((t1 - t0) / 1000000))
}

# Warm-up: the first starts load Wine's DLLs and fonts from disk.
for _ in 1 2 3; do
  start_ms "$velmora" --exit-after-first-paint >/dev/null
  start_ms "$bare" >/dev/null
done

v_times=()
b_times=()
p_times=()
f_times=()
velmora_w=$(winepath -w "$velmora" 2>/dev/null)
for _ in $(seq "$runs"); do
  v_times+=("$(start_ms "$velmora" --exit-after-first-paint)")
  b_times+=("$(start_ms "$bare")")
  p_times+=("$(start_ms "$bare" --no-common-controls)")
  f_times+=("$(start_ms "$bare" --form "$velmora_w")")
done

stats() {  # median min max of the numbers given
  printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2; print m, a[1], a[NR]}'
}
read -r v_med v_min v_max < <(stats "${v_times[@]}")
read -r b_med b_min b_max < <(stats "${b_times[@]}")
read -r p_med p_min p_max < <(stats "${p_times[@]}")
read -r f_med f_min f_max < <(stats "${f_times[@]}")
echo "runs: $runs each, Wine $(wine --version 2>/dev/null), warm wineserver, Xvfb, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "velmora.exe --exit-after-first-paint:        median ${v_med} ms (min ${v_min}, max ${v_max})"
echo "bare Win32 dialog, common controls 6:        median ${b_med} ms (min ${b_min}, max ${b_max})"
echo "bare Win32 dialog without common controls:   median ${p_med} ms (min ${p_min}, max ${p_max})"
echo "bare dialog holding velmora.exe's form:      median ${f_med} ms (min ${f_min}, max ${f_max})"
awk -v v="$v_med" -v p="$p_med" 'BEGIN { printf "(velmora.exe / bare dialog without common controls: %.2f)\n", v / p }'
awk -v v="$v_med" -v f="$f_med" 'BEGIN { printf "(velmora.exe / bare dialog holding its form: %.2f)\n", v / f }'
awk -v v="$v_min" -v b="$b_min" 'BEGIN { printf "(fastest runs, velmora.exe / bare dialog: %.2f)\n", v / b }'
awk -v v="$v_med" -v b="$b_med" 'BEGIN { printf "ratio: %.2f\n", v / b }'
