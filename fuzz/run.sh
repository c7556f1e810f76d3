#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the fuzz harnesses with their resource bounds. Builds them (clang) and their seed corpora first.
#   fuzz/run.sh HARNESS SECONDS [libFuzzer options...]   one harness; its corpus grows in build-fuzz/corpus/HARNESS
#   fuzz/run.sh --smoke [SECONDS]                        every harness for SECONDS (default 20), two at a time
#   fuzz/run.sh --list                                   the harness names
# Findings land in build-fuzz/artifacts/HARNESS/ (crash-*, leak-*, oom-*, timeout-*); the log of a run
# is build-fuzz/logs/HARNESS.log. Exit status is non-zero when any run found something.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
build="${QVX_FUZZ_BUILD:-$src/build-fuzz}"

# shellcheck source=fuzz/harnesses.sh
source "$src/fuzz/harnesses.sh"
harnesses=("${qvx_fuzz_harnesses[@]}")

# The bounds (fuzz/harnesses.sh, explained in fuzz/README.md) as libFuzzer flags.
bounds() {
  qvx_fuzz_bounds "$1" | sed 's/^/-/'
}

build_all() {
  # QVX_FUZZ_NO_BUILD=1: the harnesses and seeds are already there (runs started side by side, or
  # the fuzzing service's build that scripts/test.sh makes, named by QVX_FUZZ_BUILD).
  [ -n "${QVX_FUZZ_NO_BUILD:-}" ] && [ -d "$build/seeds" ] && return 0
  if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S "$src/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  cmake --build "$build" -j"$(nproc)" >/dev/null
  # Seeds are made afresh each time from the writers, so they follow the formats' code.
  rm -rf "$build/seeds"
  "$build/make_seeds" "$build/seeds" >/dev/null
}

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:strict_string_checks=1:${ASAN_OPTIONS_EXTRA:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

run_one() {
  local name="$1" seconds="$2"
  shift 2
  local corpus="$build/corpus/$name" artifacts="$build/artifacts/$name/" log="$build/logs/$name.log"
  mkdir -p "$corpus" "$artifacts" "$build/logs"
  # The committed corpus grown by earlier long runs is read too (new finds go to $corpus only).
  local grown=()
  [ -d "$src/fuzz/corpus/$name" ] && grown=("$src/fuzz/corpus/$name")
  # shellcheck disable=SC2046
  "$build/fuzz_$name" $(bounds "$name") -max_total_time="$seconds" -print_final_stats=1 -close_fd_mask=1 \
    -artifact_prefix="$artifacts" "$@" "$corpus" "$build/seeds/$name" "${grown[@]}" >"$log" 2>&1
}

summary() {
  local name="$1" log="$build/logs/$1.log"
  local execs cov secs
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  secs=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  printf '%-13s executions %-10s execs/s %-7s coverage %s\n' "$name" "${execs:-?}" "${secs:-?}" "${cov:-?}"
}

case "${1:-}" in
  --list) printf '%s\n' "${harnesses[@]}"; exit 0 ;;
  --smoke)
    seconds="${2:-20}"
    build_all
    failed=0
    # Two at a time: the machines this runs on have two cores.
    for ((i = 0; i < ${#harnesses[@]}; i += 2)); do
      pids=()
      for name in "${harnesses[@]:i:2}"; do
        run_one "$name" "$seconds" &
        pids+=("$!")
      done
      for j in "${!pids[@]}"; do
        name="${harnesses[i + j]}"
        if wait "${pids[j]}"; then summary "$name"; else
          echo "FINDING in $name:"; tail -40 "$build/logs/$name.log"; failed=1
        fi
      done
    done
    exit $failed ;;
  ""|-h|--help) sed -n '2,8p' "$0"; exit 2 ;;
esac

name="$1"
seconds="${2:?seconds}"
shift 2
build_all
status=0
run_one "$name" "$seconds" "$@" || status=$?
summary "$name"
[ $status -eq 0 ] || { echo "FINDING in $name:"; tail -40 "$build/logs/$name.log"; }
exit $status
