#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, checks the sources (scripts/guards.sh), builds everything with
# AddressSanitizer and UndefinedBehaviorSanitizer, runs every unit and end-to-end test, runs the
# end-to-end tests again on the optimised game, then the player's thread tests under
# ThreadSanitizer, then the fuzzing service's build, then every fuzz harness for a short time.
# Each stage prints its time; the summary at the end lists them all.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc)"
# The end-to-end tests mostly wait (on the game's timer, slowed writes, captured audio), so the test
# runs take twice as many at once as there are cores.
test_jobs=$((jobs * 2))

# stage NAME: ends the stage running (printing its time) and starts NAME; `stage` alone ends the last.
stage_name="" stage_start=0 run_start=$SECONDS
stage_times=()
stage() {
  if [ -n "$stage_name" ]; then
    local took=$((SECONDS - stage_start))
    stage_times+=("$(printf '%-14s %5d s' "$stage_name" "$took")")
    printf '=== stage %s: %d s\n' "$stage_name" "$took"
  fi
  stage_name="${1:-}" stage_start=$SECONDS
  if [ -n "$stage_name" ]; then printf '=== stage %s\n' "$stage_name"; fi
}
summary() {
  local status=$? last="$stage_name"
  stage
  printf '=== stage times\n'
  printf '%s\n' "${stage_times[@]}"
  printf '%-14s %5d s%s\n' total $((SECONDS - run_start)) "$([ $status -eq 0 ] || echo ", failed in $last")"
}
trap summary EXIT

stage deps
bash scripts/deps.sh --tests

stage guards
bash scripts/guards.sh

export ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

stage asan-build
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQVX_SANITIZE=ON
cmake --build build-asan -j"$jobs"
stage asan-tests
ctest --test-dir build-asan --output-on-failure -j"$test_jobs"

# The game as players build it (optimised, no sanitizers), driven end to end again, its files'
# durability and neighbours included: the optimiser can expose what a debug build hides.
stage release-build
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release
cmake --build build-release -j"$jobs" --target quorvex x11_close_window qvx_slow_io qvx_fake_joystick
stage release-e2e
ctest --test-dir build-release --output-on-failure -j"$test_jobs" -L e2e -R '^(e2e_|durability_)'

# The module player's thread tests (CTest label "tsan") again, built alone under ThreadSanitizer.
stage tsan
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DQVX_TSAN=ON
cmake --build build-tsan -j"$jobs" --target qvmod_stress_tests
ctest --test-dir build-tsan --output-on-failure -L tsan

# The fuzzing service's build script, run as the service runs it but without its container, with
# AddressSanitizer and UndefinedBehaviorSanitizer together: every harness, seed corpus and options
# file must land in OUT, and each harness must start on its seeds. Its folders (SRC, OUT, WORK)
# are made afresh in build-cflite.
stage fuzz-build
cflite="$PWD/build-cflite"
rm -rf "$cflite"
mkdir -p "$cflite/src" "$cflite/out" "$cflite/work"
ln -s "$PWD" "$cflite/src/quorvex"
(
  export SRC="$cflite/src" OUT="$cflite/out" WORK="$cflite/work" CC=clang CXX=clang++
  export CFLAGS="-O1 -fno-omit-frame-pointer -gline-tables-only -DFUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION -fsanitize=address,undefined -fno-sanitize-recover=undefined -fsanitize-address-use-after-scope -fsanitize=fuzzer-no-link"
  export CXXFLAGS="$CFLAGS" LIB_FUZZING_ENGINE=-fsanitize=fuzzer
  if command -v ccache >/dev/null; then export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache; fi
  bash .clusterfuzzlite/build.sh >"$cflite/build.log" 2>&1 || { tail -40 "$cflite/build.log"; exit 1; }
  bash .clusterfuzzlite/check_out.sh "$OUT"
)
rm -rf "$cflite/out" "$cflite/src"

# Every fuzz harness for 20 s, two at a time, on the harnesses and seeds the service's build just
# made (findings and logs land in build-cflite/work/build-fuzz); longer runs are made by hand
# with fuzz/run.sh HARNESS SECONDS.
stage fuzz-smoke
QVX_FUZZ_BUILD="$cflite/work/build-fuzz" QVX_FUZZ_NO_BUILD=1 bash fuzz/run.sh --smoke 20
