#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Windows program: Allegro 4.4 from Debian's source package (static, core only, with
# windows/allegro-windows-input.patch), then quorvex.exe cross-compiled with mingw-w64 for i686,
# and the folder to ship: quorvex.exe with the Linux-built quorvex.dat and patches.dat beside it.
# Usage: windows/build.sh [BUILD_DIR]   (default build-windows; the package lands in BUILD_DIR/quorvex)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
out="$(realpath -m "${1:-$root/build-windows}")"
jobs="$(nproc)"
toolchain="$here/toolchain-i686-mingw32.cmake"
patch_file="$here/allegro-windows-input.patch"

# ------------------------------------------------------------------ Allegro from Debian's sources
allegro="$out/allegro"
prefix="$allegro/prefix"
stamp="$prefix/.quorvex-build"
want_stamp="$(sha256sum "$patch_file" "$toolchain" "$0" | sha256sum | cut -d' ' -f1)"
if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$want_stamp" ]; then
  rm -rf "$allegro"
  mkdir -p "$allegro/download"
  (
    cd "$allegro/download"
    # Unsandboxed download as root is expected here; its warning is noise.
    if ! apt-get source -qq allegro4.4 2>apt-source.log; then
      # apt-get unpacks only when every part of the source package arrived. The upstream
      # tarball is the part that matters for the Windows port (Debian's own changes are its
      # Linux packaging); it is used only when it matches the checksum signed in the .dsc.
      dsc=$(ls allegro4.4_*.dsc 2>/dev/null | head -1 || true)
      orig=$(ls allegro4.4_*.orig.tar.* 2>/dev/null | head -1 || true)
      if [ -z "$dsc" ] || [ -z "$orig" ]; then
        cat apt-source.log >&2
        echo "windows/build.sh: apt-get source allegro4.4 failed (are deb-src entries enabled?)" >&2
        exit 1
      fi
      want=$(awk -v f="$orig" '/^Checksums-Sha256:/ {s=1; next} /^[^ ]/ {s=0} s && $3==f {print $1}' "$dsc")
      have=$(sha256sum "$orig" | cut -d' ' -f1)
      if [ -z "$want" ] || [ "$want" != "$have" ]; then
        echo "windows/build.sh: $orig does not match $dsc" >&2
        exit 1
      fi
      echo "windows/build.sh: Debian's packaging part of allegro4.4 could not be fetched; using its verified upstream tarball $orig"
      tar xf "$orig"
    fi
  )
  src=$(find "$allegro/download" -mindepth 1 -maxdepth 1 -type d -name 'allegro*' | head -1)
  [ -n "$src" ] || { echo "windows/build.sh: no Allegro sources unpacked" >&2; exit 1; }
  patch -p1 -d "$src" --forward --quiet < "$patch_file"
  # Allegro's own warnings are not the game's: each step's output goes to its log, shown on failure.
  step() {
    local log="$allegro/$1.log"
    shift
    "$@" > "$log" 2>&1 || { tail -n 60 "$log" >&2; echo "windows/build.sh: failed, see $log" >&2; exit 1; }
  }
  echo "Building Allegro for Windows (static, core only) from $(basename "$src")"
  step configure env MINGDIR=/usr/i686-w64-mingw32 cmake -S "$src" -B "$allegro/build" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DSHARED=OFF \
    -DWANT_ALLEGROGL=OFF -DWANT_LOADPNG=OFF -DWANT_LOGG=OFF -DWANT_JPGALLEG=OFF \
    -DWANT_EXAMPLES=OFF -DWANT_TOOLS=OFF -DWANT_TESTS=OFF -DWANT_DOCS=OFF -Wno-dev
  step build cmake --build "$allegro/build" -j"$jobs"
  step install cmake --install "$allegro/build"
  lib=$(cd "$prefix/lib" && ls liballeg*.a | head -1)
  lib=${lib#lib}; lib=${lib%.a}
  # The package file the game's CMake sources look Allegro up by (Allegro writes one only on Unix).
  mkdir -p "$prefix/lib/pkgconfig"
  cat > "$prefix/lib/pkgconfig/allegro.pc" <<PC
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: allegro
Description: Allegro 4.4 for Windows, static core library
Version: 4.4.3
Cflags: -I\${includedir} -DALLEGRO_STATICLINK
Libs: -L\${libdir} -l$lib -lkernel32 -luser32 -lgdi32 -lcomdlg32 -lole32 -ldinput -lddraw -ldxguid -lwinmm -ldsound
PC
  echo "$want_stamp" > "$stamp"
fi

# ------------------------------------------------------------------ the datafile, built on Linux
# The datafile format is the same on every platform; its generator needs Linux tools (dat, PIL).
linux="$out/linux"
cmake -S "$root" -B "$linux" -DCMAKE_BUILD_TYPE=Release -DQVX_BUILD_TESTS=OFF > "$out/linux-configure.log"
targets=(--target quorvex_dat)
linux_targets=$(cmake --build "$linux" --target help)
if grep -q quorvex_midi_patches <<<"$linux_targets"; then
  targets+=(--target quorvex_midi_patches)
fi
cmake --build "$linux" -j"$jobs" "${targets[@]}" > "$out/linux-build.log"

# ------------------------------------------------------------------ quorvex.exe
game="$out/game"
PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH="" \
  cmake -S "$here" -B "$game" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  > "$out/game-configure.log"
PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH="" \
  cmake --build "$game" -j"$jobs"

package="$out/quorvex"
rm -rf "$package"
mkdir -p "$package"
cp "$game/game/quorvex.exe" "$package/"
i686-w64-mingw32-strip "$package/quorvex.exe"
cp "$linux/game/quorvex.dat" "$package/"
[ -f "$linux/game/patches.dat" ] && cp "$linux/game/patches.dat" "$package/"
echo "Windows program: $package/quorvex.exe"
