#!/usr/bin/env bash
# The long soak: 1,000 device losses over the four scenes and 1,000 scene switches (F2 held for 100
# frames among them) in one run under Xvfb; its figures are printed at the end. Best run on the
# sanitizer build, whose leak check runs at exit.
# Usage: tools/soak.sh [preset] [losses] [switches] [time limit in seconds]
set -euo pipefail
preset="${1:-linux-asan}"
root="$(cd "$(dirname "$0")/.." && pwd)"
# Sanitizer settings (used by the linux-asan preset only), as tools/run-tests.sh sets them.
export LSAN_OPTIONS="suppressions=$root/tools/lsan-suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
build="$root/build/$preset"
cmake --build "$build" --target reliability_tests -j2
export NVESK_SOAK_LOSSES="${2:-1000}" NVESK_SOAK_SWITCHES="${3:-1000}"
exec timeout "${4:-3600}" nice xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tests/reliability_tests" \
  --gtest_filter='SoakTest.*'
