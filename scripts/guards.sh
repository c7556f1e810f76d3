#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Source checks run before any build: the C and C++ sources in the house style (.clang-format),
# the Python free of pyflakes findings, the shell scripts free of shellcheck warnings. Every
# finding is printed as FILE:LINE:COLUMN; any finding fails the run. (The fourth check, no
# shadowed names in the product, is a compile error set in cmake/QvxCompileFlags.cmake.)
#   scripts/guards.sh
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

# The files the repository tracks (or, outside a git checkout, those on disk but the build folders).
tracked() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -- "$@"
  else
    local patterns=()
    for p in "$@"; do patterns+=(-o -name "$p"); done
    find . -path './build*' -prune -o -type f \( "${patterns[@]:1}" \) -print | sed 's|^\./||' | sort
  fi
}

# Shell scripts: *.sh, and the executables that start with a shell's #! line.
shell_scripts() {
  tracked '*.sh'
  local executables
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    executables=$(git ls-files -s | awk '$1 == "100755" { print $4 }')
  else
    executables=$(find . -path './build*' -prune -o -type f -perm -u+x -print | sed 's|^\./||')
  fi
  while IFS= read -r f; do
    case "$f" in *.sh | "") continue ;; esac
    head -n1 "$f" | grep -Eq '^#!.*(/|env )(ba|da|k)?sh\b' && echo "$f"
  done <<<"$executables"
}

failed=0
check() {
  local name="$1"
  shift
  if "$@"; then
    echo "guards: $name clean"
  else
    echo "guards: $name found the faults above" >&2
    failed=1
  fi
}

mapfile -t c_sources < <(tracked '*.c' '*.cpp' '*.h')
mapfile -t python < <(tracked '*.py')
mapfile -t scripts < <(shell_scripts)

check "clang-format (${#c_sources[@]} C and C++ files)" clang-format --dry-run -Werror "${c_sources[@]}"
check "pyflakes3 (${#python[@]} Python files)" pyflakes3 "${python[@]}"
check "shellcheck (${#scripts[@]} shell scripts)" shellcheck -S warning -f gcc "${scripts[@]}"
exit $failed
