#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# runs every unit and end-to-end test, runs the end-to-end tests again on the optimised game, then
# the player's thread tests under ThreadSanitizer, then every fuzz harness for a short time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs="$(nproc)"

export ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQVX_SANITIZE=ON
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

# The game as players build it (optimised, no sanitizers), driven end to end again: the optimiser
# can expose what a debug build hides.
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release
cmake --build build-release -j"$jobs" --target quorvex x11_close_window
ctest --test-dir build-release --output-on-failure -j"$jobs" -L e2e -R '^e2e_'

# The module player's thread tests (CTest label "tsan") again, built alone under ThreadSanitizer.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DQVX_TSAN=ON
cmake --build build-tsan -j"$jobs" --target qvmod_stress_tests
ctest --test-dir build-tsan --output-on-failure -L tsan

# Every fuzz harness for 20 s, two at a time (libFuzzer with ASan and UBSan, built by clang in
# build-fuzz); longer runs are made by hand with fuzz/run.sh HARNESS SECONDS.
bash fuzz/run.sh --smoke 20
