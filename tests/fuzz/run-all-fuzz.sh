#!/usr/bin/env bash
# Every fuzzing script for a bounded time each, as many at a time as there are processors (a fuzzer
# runs on one); each script's output is shown when all are done. Fails when any of them fails.
# Usage: tests/fuzz/run-all-fuzz.sh [seconds each]   (default 20, as CI runs them)
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
seconds="${1:-20}"
# Installed once, before the scripts run side by side.
"$here/../../tools/install-deps.sh" fuzz || exit 1
outputs="$(mktemp -d)"
trap 'rm -rf "$outputs"' EXIT

scripts=(run-config-fuzz.sh run-image-fuzz.sh run-xmesh-fuzz.sh run-effect-fuzz.sh run-shader-assembler-fuzz.sh)
pids=()
for script in "${scripts[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n; done
  "$here/$script" "$seconds" >"$outputs/$script" 2>&1 &
  pids+=($!)
done
failed=0
for i in "${!scripts[@]}"; do
  status=0
  wait "${pids[$i]}" || status=$?
  echo "== ${scripts[$i]} $seconds (status $status)"
  cat "$outputs/${scripts[$i]}"
  [ "$status" -eq 0 ] || failed=1
done
exit "$failed"
