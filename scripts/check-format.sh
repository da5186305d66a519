#!/usr/bin/env bash
# Fails when a C or C++ source is not as clang-format (.clang-format) writes it.
set -euo pipefail
cd "$(dirname "$0")/.."

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c')
else
  mapfile -t files < <(find . -path ./build\* -prune -o \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print)
fi
echo "== clang-format over ${#files[@]} files"
clang-format --dry-run -Werror "${files[@]}"
