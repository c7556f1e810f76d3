#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian 12 packages that are missing: those building and running the game needs, and
# with --tests also those the tests, the source checks and the packaging need.
#   bash scripts/deps.sh           # the play command's set
#   bash scripts/deps.sh --tests   # the test command's: the play set and the tests' own
set -euo pipefail

# The compiler and build tools, Allegro 4 (with its dat and pat2dat tools), the datafile
# generator's Python, imaging library and fonts, the MIDI patch set, and xmessage, which shows the
# game's start-up messages.
play_pkgs=(
  build-essential cmake pkg-config
  liballegro4-dev
  python3 python3-pil fonts-dejavu-core fonts-dejavu-extra
  freepats
  x11-utils
)
# Unit tests and benchmarks, the peers the player is compared with, the virtual display and its
# drivers, sound capture, the installed files' checks, the Debian packaging, the sanitizer and
# fuzzing compilers and the source checks.
test_pkgs=(
  git
  libgtest-dev libgmock-dev googletest libbenchmark-dev libxmp-dev libopenmpt-dev libmikmod-dev libsdl2-dev
  xvfb xauth xdotool x11-apps
  sox
  desktop-file-utils appstream groff-base
  debhelper lintian
  clang libclang-rt-14-dev
  clang-format pyflakes3 shellcheck
)

pkgs=("${play_pkgs[@]}")
case "${1:-}" in
  --tests) pkgs+=("${test_pkgs[@]}") ;;
  "") ;;
  *) echo "usage: $0 [--tests]" >&2; exit 2 ;;
esac

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
