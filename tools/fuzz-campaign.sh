#!/usr/bin/env bash
# A long fuzzing campaign for one target, niced, one process, bounded in time; each run adds its
# executions to build/fuzz/campaign-TARGET.txt, so a campaign cut short is completed by later runs.
# Usage: tools/fuzz-campaign.sh TARGET EXECUTIONS [MAX_SECONDS]
#   TARGET: config, image, xmesh, effect-parser or effect-compiler
#   EXECUTIONS: the campaign's total; only what is still missing is run
#   MAX_SECONDS: this run's time bound (default 3600)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
target="${1:?target: config, image, xmesh, effect-parser or effect-compiler}"
total="${2:?executions}"
seconds="${3:-3600}"

case "$target" in
  config) script=run-config-fuzz.sh name=config-reader-fuzz ;;
  image) script=run-image-fuzz.sh name=image-decode-fuzz ;;
  xmesh) script=run-xmesh-fuzz.sh name=xmesh-fuzz ;;
  effect-parser) script=run-effect-fuzz.sh name=effect-parser-fuzz ;;
  effect-compiler) script=run-effect-fuzz.sh name=effect-compile-fuzz ;;
  *) echo "unknown target $target" >&2; exit 2 ;;
esac
record="$root/build/fuzz/campaign-$target.txt"
mkdir -p "$root/build/fuzz"
done_so_far=$(awk '{ sum += $2 } END { print sum + 0 }' "$record" 2>/dev/null || echo 0)
left=$((total - done_so_far))
if ((left <= 0)); then
  echo "$target: $done_so_far executions done, campaign of $total complete"
  exit 0
fi

start=$(date +%s)
status=0
# Niced on a busy machine, one input can wait many seconds for a processor: only a minute counts
# as a hang.
NVESK_EFFECT_FUZZ="${target#effect-}" nice -n 19 "$root/tests/fuzz/$script" "$seconds" -runs="$left" -timeout=60 ||
  status=$?
elapsed=$(($(date +%s) - start))
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$root/build/fuzz/$name.log" | tail -1)
runs="${runs:-0}"
# Date, executions, seconds (build included), fault found (1) or not (0).
echo "$(date -u +%FT%TZ) $runs $elapsed $((status != 0))" >> "$record"
done_so_far=$((done_so_far + runs))
echo "$target: $runs executions in ${elapsed} s ($((runs / (elapsed > 0 ? elapsed : 1))) per second)," \
  "$done_so_far of $total in all"
exit "$status"
