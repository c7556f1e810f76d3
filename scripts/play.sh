#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds the game and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQVX_BUILD_TESTS=OFF
cmake --build build -j"$(nproc)"
exec ./build/game/quorvex "$@"
