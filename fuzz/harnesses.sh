# SPDX-License-Identifier: MIT
# The fuzz harnesses and their libFuzzer bounds: sourced by fuzz/run.sh and by the fuzzing service's
# build script (.clusterfuzzlite/build.sh), so local runs and the service's runs share the same limits.
# shellcheck shell=bash disable=SC2034

qvx_fuzz_harnesses=(load_any load_mod load_s3m load_xm load_umx load_it load_qvm qvm_stream qvm_datafile
                    mod_info saved_game high_scores load_s3m_scan cell_decoders file_seek)

# Prints the bounds of one harness as NAME=VALUE lines: one input may take at most 10 s, no single
# allocation may exceed 128 MB, and the whole process (with ASan's quarantine) stays below 2 GB.
# Module inputs are at most 16 KB, saved games and tables 2 KB.
qvx_fuzz_bounds() {
  local max_len=16384
  case "$1" in saved_game|high_scores) max_len=2048 ;; esac
  printf '%s\n' rss_limit_mb=2048 malloc_limit_mb=128 timeout=10 "max_len=$max_len"
}
