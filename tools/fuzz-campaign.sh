#!/usr/bin/env bash
# A resumable fuzzing campaign: each target runs niced, one process at a time, until it has done the
# campaign's executions; a run that stops (its time budget spent, a fault, Ctrl-C) is resumed by the
# next from where it stopped. Each target keeps its corpus and a state file (executions so far,
# edges covered, the execution at which the last new edge was found) in the campaign folder, and
# every run ends with the totals.
# Usage: tools/fuzz-campaign.sh [-n EXECUTIONS] [-t SECONDS] [TARGET...]
#   TARGET: config, image, xmesh, effect-parser, effect-compiler, assembler (default: all six, in that order)
#   -n: executions per target (default 5000000)
#   -t: this run's time budget in seconds, shared by the targets still short (default 3600)
#   NVESK_FUZZ_CAMPAIGN: the campaign folder (default build/fuzz/campaign, which git ignores)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
executions=5000000
budget=3600
while getopts "n:t:" option; do
  case "$option" in
    n) executions="$OPTARG" ;;
    t) budget="$OPTARG" ;;
    *) sed -n '7,11s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(config image xmesh effect-parser effect-compiler assembler)
campaign="${NVESK_FUZZ_CAMPAIGN:-$root/build/fuzz/campaign}"
source "$root/tests/fuzz/fuzz-common.sh"

fuzzer_of() {
  case "$1" in
    config) echo config-reader-fuzz ;;
    image) echo image-decode-fuzz ;;
    xmesh) echo xmesh-fuzz ;;
    effect-parser) echo effect-parser-fuzz ;;
    effect-compiler) echo effect-compile-fuzz ;;
    assembler) echo shader-assembler-fuzz ;;
    *) echo "unknown target $1 (config, image, xmesh, effect-parser, effect-compiler, assembler)" >&2; return 2 ;;
  esac
}

# state_get FILE KEY: the value, 0 when the file or the key is missing.
state_get() {
  local value
  value=$(sed -n "s/^$2=//p" "$1" 2>/dev/null | tail -1)
  echo "${value:-0}"
}

for target in "${targets[@]}"; do fuzzer_of "$target" > /dev/null; done

start=$(date +%s)
for i in "${!targets[@]}"; do
  target="${targets[$i]}"
  name=$(fuzzer_of "$target")
  folder="$campaign/$target"
  state="$folder/state"
  mkdir -p "$folder/corpus" "$folder/faults"
  done_before=$(state_get "$state" executions)
  left=$((executions - done_before))
  ((left > 0)) || continue
  # The budget left, shared by the targets still to run.
  short=0
  for other in "${targets[@]:$i}"; do
    (($(state_get "$campaign/$other/state" executions) < executions)) && short=$((short + 1))
  done
  remaining=$((budget - ($(date +%s) - start)))
  ((remaining >= 10)) || break
  seconds=$((remaining / short))
  ((seconds >= 10)) || seconds=10

  nice -n 19 bash -c "source '$root/tests/fuzz/fuzz-common.sh' && fuzz_target $name" > "$folder/build.log" 2>&1 ||
    { cat "$folder/build.log"; exit 1; }
  extra=()
  [ "$name" = image-decode-fuzz ] && extra=(-malloc_limit_mb=512)
  log="$folder/last-run.log"
  began=$(date +%s)
  status=0
  # Niced on a busy machine, one input can wait many seconds for a processor: only a minute counts
  # as a hang. The committed seeds are read, never written.
  nice -n 19 "$out/$name" -runs="$left" -max_total_time="$seconds" -max_len="$(fuzz_max_len "$name")" \
    -timeout=60 -rss_limit_mb=4096 "${extra[@]}" -print_final_stats=1 -artifact_prefix="$folder/faults/" \
    "$folder/corpus" "$root/tests/fuzz/corpus/$name" > "$log" 2>&1 || status=$?
  elapsed=$(($(date +%s) - began))

  # Executions of this run: libFuzzer's final count, or its last progress line when it was cut off.
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  [ -n "$runs" ] || runs=$(sed -n 's/^#\([0-9]*\)[[:space:]].*/\1/p' "$log" | tail -1)
  runs="${runs:-0}"
  # Edges: the most libFuzzer reported ("cov:"); a new edge is a line past the corpus's reading
  # (INITED) whose count passes the most so far, at that line's execution number.
  read -r edges features last_new < <(awk -v edges="$(state_get "$state" edges)" \
    -v features="$(state_get "$state" features)" -v last="$(state_get "$state" last_new_edge_at)" \
    -v before="$done_before" '
      /^#[0-9]+/ {
        n = substr($1, 2) + 0
        for (f = 2; f < NF; f++) {
          if ($f == "cov:" && $(f + 1) + 0 > edges) {
            edges = $(f + 1) + 0
            if (inited) last = before + n
          }
          if ($f == "ft:" && $(f + 1) + 0 > features) features = $(f + 1) + 0
        }
        if ($2 == "INITED") inited = 1
      }
      END { print edges, features, last }' "$log")
  faults=$(state_get "$state" faults)
  fault=""
  # A slow unit is only noted (a niced process can wait seconds for a processor); a crash, leak,
  # timeout or running out of memory is a fault.
  if grep -q "ERROR: \|Test unit written to .*/\(crash\|leak\|timeout\|oom\)-" "$log"; then
    faults=$((faults + 1))
    fault=$(sed -n 's/.*Test unit written to \(.*\/\(crash\|leak\|timeout\|oom\)-.*\)/\1/p' "$log" | tail -1)
    fault="${fault:-see $log}"
    cp "$log" "$folder/faults/run-$(date -u +%Y%m%dT%H%M%SZ).log"
  fi
  total=$((done_before + runs))
  {
    echo "executions=$total"
    echo "edges=$edges"
    echo "features=$features"
    echo "last_new_edge_at=$last_new"
    echo "seconds=$(($(state_get "$state" seconds) + elapsed))"
    echo "runs=$(($(state_get "$state" runs) + 1))"
    echo "faults=$faults"
  } > "$state.new"
  mv "$state.new" "$state"
  # Date, executions and seconds of this run, libFuzzer's status.
  echo "$(date -u +%FT%TZ) $runs $elapsed $status" >> "$folder/history"
  echo "$target: $runs executions in $elapsed s ($((runs / (elapsed > 0 ? elapsed : 1))) per second)${fault:+, fault: $fault}"
  if [ -n "$fault" ]; then
    echo "$target: stopped on a fault; the input is $fault, the log in $folder/faults/" >&2
    break
  fi
done

echo
printf '%-16s %12s %12s %8s %10s %18s %8s %7s\n' target executions of edges features "last new edge at" seconds faults
for target in config image xmesh effect-parser effect-compiler assembler; do
  state="$campaign/$target/state"
  [ -f "$state" ] || continue
  printf '%-16s %12s %12s %8s %10s %18s %8s %7s\n' "$target" "$(state_get "$state" executions)" "$executions" \
    "$(state_get "$state" edges)" "$(state_get "$state" features)" "$(state_get "$state" last_new_edge_at)" \
    "$(state_get "$state" seconds)" "$(state_get "$state" faults)"
done
