#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# runs every unit and end-to-end test, runs the end-to-end tests again on the optimised game, then
# the player's thread tests under ThreadSanitizer, then the fuzzing service's build, then every fuzz
# harness for a short time.
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

# The game as players build it (optimised, no sanitizers), driven end to end again, its files'
# durability and neighbours included: the optimiser can expose what a debug build hides.
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release
cmake --build build-release -j"$jobs" --target quorvex x11_close_window qvx_slow_io
ctest --test-dir build-release --output-on-failure -j"$jobs" -L e2e -R '^(e2e_|durability_)'

# The module player's thread tests (CTest label "tsan") again, built alone under ThreadSanitizer.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DQVX_TSAN=ON
cmake --build build-tsan -j"$jobs" --target qvmod_stress_tests
ctest --test-dir build-tsan --output-on-failure -L tsan

# The fuzzing service's build script, run as the service runs it for AddressSanitizer but without
# its container: every harness, seed corpus and options file must land in OUT, and each harness
# must start on its seeds.
cflite="$(mktemp -d)"
mkdir -p "$cflite/src" "$cflite/out" "$cflite/work"
ln -s "$PWD" "$cflite/src/quorvex"
(
  export SRC="$cflite/src" OUT="$cflite/out" WORK="$cflite/work" CC=clang CXX=clang++
  export CFLAGS="-O1 -fno-omit-frame-pointer -gline-tables-only -DFUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION -fsanitize=address -fsanitize-address-use-after-scope -fsanitize=fuzzer-no-link"
  export CXXFLAGS="$CFLAGS" LIB_FUZZING_ENGINE=-fsanitize=fuzzer
  if command -v ccache >/dev/null; then export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache; fi
  bash .clusterfuzzlite/build.sh >"$cflite/build.log" 2>&1 || { tail -40 "$cflite/build.log"; exit 1; }
  bash .clusterfuzzlite/check_out.sh "$OUT"
)
rm -rf "$cflite"

# Every fuzz harness for 20 s, two at a time (libFuzzer with ASan and UBSan, built by clang in
# build-fuzz); longer runs are made by hand with fuzz/run.sh HARNESS SECONDS.
bash fuzz/run.sh --smoke 20
