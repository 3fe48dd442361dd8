#!/usr/bin/env bash
# Runs the whole test suite several rounds over with more tests at a time than there are
# processors, each display test on an X server of its own, and counts the tests that failed. A test
# that passes alone and fails beside others is flaky: nothing here runs a failed test again.
# Usage: tools/stress-tests.sh [preset] [rounds] [jobs]
#        (defaults: linux-debug, 5 rounds, twice the processors; the preset must be built)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-linux-debug}"
rounds="${2:-5}"
jobs="${3:-$((2 * $(nproc)))}"
build="build/$preset"
if [ ! -f "$build/CTestTestfile.cmake" ]; then
  echo "build $preset first (tools/run-tests.sh $preset)" >&2
  exit 2
fi
# Sanitizer settings (used by the linux-asan preset only), as tools/run-tests.sh sets them.
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan-suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
source tools/test-displays.sh
start_test_displays "$jobs" "$PWD/$build/x-displays.json"
echo "$rounds rounds of $preset, $jobs tests at a time on $(nproc) processors; load average $(cut -d' ' -f1-3 /proc/loadavg)"
failures=0
for round in $(seq "$rounds"); do
  log="$build/stress-round-$round.log"
  started=$SECONDS
  ctest --preset "$preset-displays" -j "$jobs" --timeout 600 >"$log" 2>&1 || true
  # CTest lists each failed test under this line as "  N - name (Failed)".
  mapfile -t failed < <(sed -n '/^The following tests FAILED:/,$p' "$log" | sed -n 's/^[[:space:]]*[0-9]* - //p')
  summary="$(grep -E 'tests passed, [0-9]+ tests failed' "$log" || echo "no summary (see $log)")"
  if ! grep -qE 'tests passed, [0-9]+ tests failed' "$log"; then
    failed+=("the round did not finish")
  fi
  failures=$((failures + ${#failed[@]}))
  echo "round $round: $summary, $((SECONDS - started)) s, load average $(cut -d' ' -f1-3 /proc/loadavg)"
  for name in "${failed[@]}"; do echo "  failed: $name (log: $log)"; done
  # The failed suites' output is in the log (the preset shows it): the test cases that failed in them.
  grep -E '^\[  FAILED  \] [^ ]+\.[^ ]+ \(' "$log" | sed 's/^/    /' || true
done
echo "failures: $failures"
[ "$failures" -eq 0 ]
