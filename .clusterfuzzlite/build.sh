#!/bin/bash -eu
# SPDX-License-Identifier: MIT
# Builds every fuzz harness for ClusterFuzzLite / OSS-Fuzz into $OUT: fuzz_NAME, its seed corpus
# fuzz_NAME_seed_corpus.zip and its libFuzzer bounds fuzz_NAME.options.
# Takes the service's CC, CXX, CFLAGS, CXXFLAGS and LIB_FUZZING_ENGINE; SRC holds the checkout as
# $SRC/quorvex, WORK is scratch space.
#
# Allegro 4.4 comes as a shared library only (Debian ships no static archive) and the service's
# runner image does not have it: the libraries the harnesses need beyond the C library are copied
# into $OUT/lib, found through an rpath of $ORIGIN/lib. The rpath is an old-style DT_RPATH, which
# the loader also applies to the libraries' own dependencies (Allegro's X11 libraries).

project="$SRC/quorvex"
build="$WORK/build-fuzz"
# shellcheck source=SCRIPTDIR/../fuzz/harnesses.sh
source "$project/fuzz/harnesses.sh"

# shellcheck disable=SC2016  # $ORIGIN is for the loader, not the shell
cmake -S "$project/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=None \
  -DQVX_FUZZ_ENGINE="$LIB_FUZZING_ENGINE" \
  -DCMAKE_BUILD_RPATH='$ORIGIN/lib' -DCMAKE_EXE_LINKER_FLAGS=-Wl,--disable-new-dtags
cmake --build "$build" -j"$(nproc)"

# Seeds from the project's own writers, plus the corpus grown and kept under fuzz/corpus/NAME.
# They sit where fuzz/run.sh looks for them, so that it can run these harnesses as they are.
rm -rf "$build/seeds"
ASAN_OPTIONS=detect_leaks=0 "$build/make_seeds" "$build/seeds" >/dev/null

mkdir -p "$OUT/lib"
for name in "${qvx_fuzz_harnesses[@]}"; do
  cp "$build/fuzz_$name" "$OUT/"
  python3 - "$OUT/fuzz_${name}_seed_corpus.zip" "$build/seeds/$name" "$project/fuzz/corpus/$name" <<'EOF'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for tag, folder in zip(("seed", "kept"), sys.argv[2:]):
        if os.path.isdir(folder):
            for entry in sorted(os.listdir(folder)):
                z.write(os.path.join(folder, entry), tag + "-" + entry)
EOF
  { echo "[libfuzzer]"; qvx_fuzz_bounds "$name" | sed 's/=/ = /'; } > "$OUT/fuzz_$name.options"
done

# Every shared library a harness loads, except the C library's own (the runner has those).
ldd "$OUT/fuzz_${qvx_fuzz_harnesses[0]}" | awk '$3 ~ /^\// { print $3 }' |
  grep -Ev '/(libc|libm|libpthread|libdl|librt|ld-linux[^/]*)\.so' |
  while read -r lib; do [ "$(dirname "$lib")" = "$OUT/lib" ] || cp -L "$lib" "$OUT/lib/"; done
