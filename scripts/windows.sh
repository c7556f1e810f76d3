#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Windows program (32-bit quorvex.exe with quorvex.dat beside it) and runs its smoke
# test under Wine. Changes the machine: enables source packages for the Debian archive entry and
# the i386 architecture, and installs mingw-w64 and Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh            # the Linux tools that generate quorvex.dat
bash windows/setup-machine.sh   # deb-src, i386, mingw-w64, Wine, Xvfb tools
bash windows/build.sh build-windows
# Debian's interpreter: the smoke test reads images with the standard library only.
/usr/bin/python3 -B windows/smoke_test.py build-windows/quorvex/quorvex.exe
