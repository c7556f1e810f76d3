#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fetches the tracker modules that Debian's game data packages ship and runs module_compare over them.
#
#   tools/compare_real_modules.sh BUILD [CACHE] [module_compare options...]
#
# BUILD is a build directory holding tools/module_compare. The packages are downloaded with
# apt-get (no root needed, nothing is installed) and unpacked into CACHE (default
# ~/.cache/qvmod-real-modules); the modules stay there and never enter the repository.
set -euo pipefail

build="${1:?usage: $0 BUILD [CACHE] [module_compare options...]}"
shift
cache="${HOME}/.cache/qvmod-real-modules"
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
  [ -n "$1" ] && cache="$1"
  shift
fi
tool="$build/tools/module_compare"
[ -x "$tool" ] || { echo "$0: $tool not built (needs libopenmpt-dev and libxmp-dev)" >&2; exit 1; }

# Game data packages with MOD, S3M and XM music (powermanga's .zik files are XM modules).
packages=(tecnoballz-data njam-data ceferino-data powermanga-data pingus-data)

mkdir -p "$cache/debs" "$cache/tree"
(
  cd "$cache/debs"
  for p in "${packages[@]}"; do
    if ! ls "${p}"_*.deb >/dev/null 2>&1; then
      apt-get download -qq "$p" || echo "$0: could not download $p (apt-get update first?)" >&2
    fi
  done
)
for deb in "$cache"/debs/*.deb; do
  [ -e "$deb" ] || continue
  dpkg-deb -x "$deb" "$cache/tree"
done

mapfile -t songs < <(find "$cache/tree" -type f \
  \( -iname '*.mod' -o -iname '*.s3m' -o -iname '*.xm' -o -iname '*.umx' -o -iname '*.zik' \) | sort)
[ ${#songs[@]} -gt 0 ] || { echo "$0: no modules found in $cache/tree" >&2; exit 1; }
exec "$tool" "$@" "${songs[@]}"
