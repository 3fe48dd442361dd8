#!/usr/bin/env bash
# Formats every C and C++ file of ours with the root .clang-format.
# Usage: tools/format.sh [--check]   (--check: change nothing, list unformatted files, fail if any)
set -euo pipefail
cd "$(dirname "$0")/.."
formatter="$(command -v clang-format-14 || command -v clang-format)"
mapfile -t files < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h' '*.c' | grep -v '^build/')
if [ "${1:-}" = "--check" ]; then
  unformatted=()
  for file in "${files[@]}"; do
    [ -f "$file" ] || continue
    "$formatter" --dry-run --Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
  done
  if [ ${#unformatted[@]} -ne 0 ]; then
    printf 'not formatted (run tools/format.sh): %s\n' "${unformatted[@]}" >&2
    exit 1
  fi
  echo "all ${#files[@]} files formatted"
else
  for file in "${files[@]}"; do
    [ -f "$file" ] && "$formatter" -i "$file"
  done
fi
