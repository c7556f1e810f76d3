#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command under a private Xvfb display with a private HOME whose ALSA default device is the
# null device (or a WAV capture when QVX_CAPTURE_WAV names a file); cleans up both afterwards.
# Usage: with-xvfb.sh COMMAND [ARGS...]
set -u
tmp_home=$(mktemp -d "${TMPDIR:-/tmp}/qvx-home.XXXXXX")
if [ -n "${QVX_CAPTURE_WAV:-}" ]; then
  cat > "$tmp_home/.asoundrc" <<ASOUND
pcm.!default { type plug; slave { pcm "wavcap"; format S16_LE } }
pcm.wavcap {
  type file
  slave.pcm "null"
  file "$QVX_CAPTURE_WAV"
  format "wav"
}
ASOUND
else
  printf 'pcm.!default { type null }\n' > "$tmp_home/.asoundrc"
fi
# One ALSA period per 10 ms keeps the mixer (and any capture) at real-time pace.
printf '[sound]\nsound_freq = 44100\nalsa_fragsize = 441\n' > "$tmp_home/.allegrorc"
if [ -n "${QVX_ALLEGRO_PATCHES:-}" ]; then
  printf 'patches = %s\n' "$QVX_ALLEGRO_PATCHES" >> "$tmp_home/.allegrorc"
fi

numf=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$numf" >/dev/null 2>&1 &
xvfb_pid=$!
i=0
while [ ! -s "$numf" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done
read -r n < "$numf"
rm -f "$numf"
cleanup() {
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
  rm -rf "$tmp_home"
}
trap cleanup EXIT
if [ -z "${n:-}" ]; then
  echo "with-xvfb: Xvfb did not start" >&2
  exit 99
fi
DISPLAY=":$n" HOME="$tmp_home" QVX_TEST_HOME="$tmp_home" "$@"
status=$?
exit $status
