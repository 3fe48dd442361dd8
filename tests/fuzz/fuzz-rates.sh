#!/usr/bin/env bash
# Each fuzz target's rate, measured alone in one process: a bounded run from the committed seeds
# (a fresh copy, so every measurement starts alike), with its own input limit. On a shared machine
# the rate per second of processor time (user + system) says more than the rate per second.
# Usage: tests/fuzz/fuzz-rates.sh [seconds] [target names...]   (default 60 s, all six)
#   NVESK_FUZZ_BINARIES: a folder of already built targets to measure instead (an older build)
set -euo pipefail
source "$(dirname "$0")/fuzz-common.sh"
seconds="${1:-60}"
names=("${@:2}")
[ ${#names[@]} -gt 0 ] || names=(config-reader-fuzz image-decode-fuzz xmesh-fuzz effect-parser-fuzz effect-compile-fuzz
  shader-assembler-fuzz)
binaries="${NVESK_FUZZ_BINARIES:-$out}"
for name in "${names[@]}"; do
  [ -n "${NVESK_FUZZ_BINARIES:-}" ] || fuzz_target "$name"
  corpus=$(mktemp -d)
  cp "$root/tests/fuzz/corpus/$name"/* "$corpus/"
  extra=()
  [ "$name" = image-decode-fuzz ] && extra=(-malloc_limit_mb=512)
  /usr/bin/time -f "cpu %U %S %e" -o "$out/$name-rate.time" "$binaries/$name" -max_total_time="$seconds" -max_len="$(fuzz_max_len "$name")" -timeout=10 -rss_limit_mb=4096 \
    "${extra[@]}" -print_final_stats=1 "$corpus" > "$out/$name-rate.log" 2>&1 || true
  rm -rf "$corpus"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$name-rate.log")
  cov=$(sed -n 's/^#[0-9]*[[:space:]].*cov: \([0-9]*\).*/\1/p' "$out/$name-rate.log" | tail -1)
  read -r cpu wall < <(awk '/^cpu/ { print $2 + $3, $4 }' "$out/$name-rate.time")
  fault=""
  grep -q "Test unit written to" "$out/$name-rate.log" && fault=" (stopped on a fault: $out/$name-rate.log)"
  awk -v name="$name" -v r="${runs:-0}" -v c="$cpu" -v w="$wall" -v cov="${cov:-?}" -v fault="$fault" 'BEGIN {
    printf "%s: %d executions in %.0f s: %d per second, %d per processor second (%.0f s), cov %s%s\n",
      name, r, w, r / (w > 0 ? w : 1), r / (c > 0 ? c : 1), c, cov, fault }'
done
