#!/usr/bin/env bash
# Formats every C and C++ file of ours with the root .clang-format.
# Usage: tools/format.sh [--check]   (--check: change nothing, list unformatted files, fail if any)
set -euo pipefail
cd "$(dirname "$0")/.."
formatter="$(command -v clang-format-14 || command -v clang-format)"
mapfile -t files < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h' '*.c' | grep -v '^build/')
if [ "${1:-}" = "--check" ]; then
  # Many files per run, on every core: the formatter names each file it would change.
  status=0
  report="$(for file in "${files[@]}"; do [ -f "$file" ] && printf '%s\0' "$file"; done |
    xargs -0 -n 40 -P "$(nproc)" "$formatter" --dry-run --Werror 2>&1)" || status=$?
  mapfile -t unformatted < <(printf '%s\n' "$report" |
    sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)
  if [ "$status" -ne 0 ] && [ ${#unformatted[@]} -eq 0 ]; then
    printf '%s\n' "$report" >&2
    echo "the formatter failed" >&2
    exit 1
  fi
  if [ ${#unformatted[@]} -ne 0 ]; then
    printf 'not formatted (run tools/format.sh): %s\n' "${unformatted[@]}" >&2
    exit 1
  fi
  echo "all ${#files[@]} files formatted"
else
  for file in "${files[@]}"; do [ -f "$file" ] && printf '%s\0' "$file"; done |
    xargs -0 -n 40 -P "$(nproc)" "$formatter" -i
fi
