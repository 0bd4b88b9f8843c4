#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for
# SECONDS, starting from a copy of the seed corpus (nothing new is written into
# the repository). Prints one summary line per target; exits non-zero when a
# target found something or did not run. Crash inputs are kept in
# build-fuzz/fuzz-artifacts/.
#
#   fuzz/run.sh SECONDS [TARGET...]      e.g. fuzz/run.sh 60, fuzz/run.sh 10 fuzz_conduit
#   VELMORA_FUZZ_BUILD=dir               another build directory
set -euo pipefail

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
  echo "usage: $0 SECONDS [TARGET...]" >&2
  exit 2
fi
seconds=$1
shift
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_FUZZ_BUILD:-$root/build-fuzz}
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_string fuzz_device_answers fuzz_conduit fuzz_sim_requests fuzz_profile fuzz_provision_files
           fuzz_document_man fuzz_posix_marks)
fi

"$root/scripts/deps.sh" clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_FUZZ=ON \
  -DVELMORA_BUILD_UI=OFF -DVELMORA_BUILD_CLI=OFF -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}" -j 2

work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"

max_len() {
  case $1 in
    fuzz_string) echo 512 ;;
    fuzz_device_answers | fuzz_profile | fuzz_provision_files) echo 4096 ;;
    *) echo 2048 ;;
  esac
}

status=0
summary=()
for target in "${targets[@]}"; do
  corpus=$work/$target
  mkdir -p "$corpus"
  seeds=$root/fuzz/corpus/${target#fuzz_}
  if [ -d "$seeds" ]; then cp -R "$seeds/." "$corpus/"; fi
  options=(-max_total_time="$seconds" -max_len="$(max_len "$target")" -timeout=10 -print_final_stats=1
           -artifact_prefix="$artifacts/$target-")
  case $target in
    fuzz_device_answers | fuzz_sim_requests | fuzz_document_man) options+=(-dict="$root/fuzz/protocol.dict") ;;
  esac
  log=$work/$target.log
  echo "== $target: $seconds s"
  if "$build/fuzz/$target" "${options[@]}" "$corpus" >"$log" 2>&1; then
    result=ok
  else
    result="FINDING (exit $?)"
    status=1
    tail -n 60 "$log" >&2
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  line=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$line")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$line")
  units=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$line")
  summary+=("$(printf '%-20s %-16s execs %-10s cov %-6s ft %-6s corpus %s' "$target" "$result" "${runs:-?}" \
    "${cov:-?}" "${ft:-?}" "${units:-?}")")
done

echo
printf '%s\n' "${summary[@]}"
exit $status
