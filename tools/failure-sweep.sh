#!/usr/bin/env bash
# The whole failure sweep: every call of every platform operation the demo's scripted run makes
# (the first three, the middle and the last call of those called more than five times), each run
# in a process of its own under Xvfb. Usage: tools/failure-sweep.sh [preset] [time limit in seconds]
set -euo pipefail
preset="${1:-linux-debug}"
limit="${2:-3600}"
root="$(cd "$(dirname "$0")/.." && pwd)"
# Sanitizer settings (used by the linux-asan preset only), as tools/run-tests.sh sets them.
export LSAN_OPTIONS="suppressions=$root/tools/lsan-suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
build="$root/build/$preset"
cmake --build "$build" --target reliability_tests -j2
export NVESK_FULL_SWEEP=1
exec timeout "$limit" nice xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tests/reliability_tests" \
  --gtest_filter='FailureSweepTest.EveryFailure*'
