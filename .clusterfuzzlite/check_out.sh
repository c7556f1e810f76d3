#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks what .clusterfuzzlite/build.sh left in OUT: every harness with its seed corpus (a valid,
# non-empty zip) and its options (the bounds fuzz/run.sh uses), its libraries found in OUT/lib,
# and each harness starting and getting through its seeds.
#   .clusterfuzzlite/check_out.sh OUT
set -euo pipefail
out="${1:?OUT}"
here="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=SCRIPTDIR/../fuzz/harnesses.sh
source "$here/fuzz/harnesses.sh"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

failed=0
problem() { echo "check_out: $1: $2"; failed=1; }

for name in "${qvx_fuzz_harnesses[@]}"; do
  binary="$out/fuzz_$name"
  [ -x "$binary" ] || { problem "$name" "no harness binary"; continue; }
  if ! python3 - "$out/fuzz_${name}_seed_corpus.zip" "$scratch/$name" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    if z.testzip() is not None or not z.namelist():
        sys.exit("empty or damaged")
    z.extractall(sys.argv[2])
PY
  then problem "$name" "seed corpus zip missing, empty or damaged"; continue; fi
  want="$(echo "[libfuzzer]"; qvx_fuzz_bounds "$name" | sed 's/=/ = /')"
  [ "$(cat "$out/fuzz_$name.options" 2>/dev/null)" = "$want" ] || problem "$name" "options differ from fuzz/harnesses.sh"
  ldd "$binary" | grep "liballeg.*=> $out/lib/" >/dev/null || problem "$name" "Allegro not taken from $out/lib"
  # shellcheck disable=SC2046
  if ! "$binary" $(qvx_fuzz_bounds "$name" | sed 's/^/-/') -runs=0 "$scratch/$name" >"$scratch/$name.log" 2>&1; then
    problem "$name" "failed on its seeds"; tail -20 "$scratch/$name.log"
  else
    echo "check_out: $name: $(grep -c . <(ls "$scratch/$name")) seeds, $(grep -o 'cov: [0-9]*' "$scratch/$name.log" | tail -1)"
  fi
done
exit $failed
