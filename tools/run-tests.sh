#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. Usage: tools/run-tests.sh [linux-debug|linux-release|linux-asan]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-linux-debug}"

tools/install-deps.sh linux
cmake --preset "$preset"
cmake --build --preset "$preset"
# Sanitizer settings (used by the linux-asan preset only).
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan-suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# LeakSanitizer's exit-time check stops every thread with ptrace; with Mesa's rasteriser threads still
# winding down it now and then dies itself ("Tracer caught signal 11") after the test passed. Such a
# test runs once more; a test that really fails fails both times.
retry=()
[ "$preset" = linux-asan ] && retry=(--repeat until-pass:2)
# With no rasteriser threads of llvmpipe's to stop and wind down, that check meets fewer threads.
[ "$preset" = linux-asan ] && export LP_NUM_THREADS=0
# Window and Direct3D tests need an X display each: as many Xvfb servers as tests run at a time.
jobs="${NVESK_TEST_JOBS:-$(nproc)}"
source tools/test-displays.sh
displays_file="$PWD/build/$preset/x-displays.json"
start_test_displays "$jobs" "$displays_file"
# The "-displays" test preset hands CTest the file that lists them.
ctest --preset "$preset-displays" -j "$jobs" --timeout 300 "${retry[@]}"
