#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the datafile generator and the tests need (only those missing).
set -euo pipefail
pkgs=(
  build-essential cmake pkg-config git
  liballegro4-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev libxmp-dev libopenmpt-dev libmikmod-dev libsdl2-dev
  python3 python3-pil fonts-dejavu-core fonts-dejavu-extra
  xvfb xauth xdotool x11-utils x11-apps
  sox freepats
  desktop-file-utils appstream groff-base
  debhelper lintian
  clang libclang-rt-14-dev
)
missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
