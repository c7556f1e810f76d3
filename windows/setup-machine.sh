#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Prepares a Debian 12 machine for the Windows build: source packages for the Debian archive,
# the i386 architecture (32-bit Wine), the mingw-w64 cross compiler, Wine and the smoke-test tools.
set -euo pipefail
sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"

changed=0
# Source packages for the existing Debian archive entry (not security or third-party entries).
deb822=/etc/apt/sources.list.d/debian.sources
if [ -f "$deb822" ]; then
  if ! python3 - "$deb822" <<'PY'
import re, sys
path = sys.argv[1]
text = open(path).read()
out, changed = [], False
for stanza in re.split(r"\n\s*\n", text.strip("\n")):
    uris = re.search(r"^URIs:\s*(.*)$", stanza, re.M)
    types = re.search(r"^Types:\s*(.*)$", stanza, re.M)
    is_main_archive = uris and re.search(r"debian/?(\s|$)", uris.group(1)) and "security" not in uris.group(1)
    if is_main_archive and types and "deb-src" not in types.group(1).split():
        stanza = stanza.replace(types.group(0), types.group(0) + " deb-src", 1)
        changed = True
    out.append(stanza)
if changed:
    open(path, "w").write("\n\n".join(out) + "\n")
sys.exit(1 if changed else 0)
PY
  then changed=1; fi
elif [ -f /etc/apt/sources.list ]; then
  if ! grep -Eq '^deb-src [^#]*debian/? +bookworm ' /etc/apt/sources.list; then
    line=$(grep -E '^deb [^#]*debian/? +bookworm ' /etc/apt/sources.list | head -1)
    [ -n "$line" ] && echo "deb-src ${line#deb }" | $sudo_cmd tee -a /etc/apt/sources.list >/dev/null
    changed=1
  fi
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo_cmd dpkg --add-architecture i386
  changed=1
fi

pkgs=(
  cmake make dpkg-dev python3
  gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  wine wine32:i386
  xvfb xauth xdotool x11-utils x11-apps
)
missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ "$changed" -ne 0 ] || [ ${#missing[@]} -gt 0 ]; then
  $sudo_cmd apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  log=$(mktemp)
  if ! DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" > "$log" 2>&1; then
    tail -n 40 "$log" >&2
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
fi
