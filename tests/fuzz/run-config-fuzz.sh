#!/usr/bin/env bash
# Builds the configuration-reader fuzzer and runs it for a bounded time over its corpus.
# Usage: tests/fuzz/run-config-fuzz.sh [seconds] [libFuzzer options...]
set -euo pipefail
source "$(dirname "$0")/fuzz-common.sh"
fuzz_target config-reader-fuzz
fuzz_run config-reader-fuzz "${1:-60}" "$(fuzz_max_len config-reader-fuzz)" "${@:2}"
