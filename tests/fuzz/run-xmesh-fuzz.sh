#!/usr/bin/env bash
# Builds the .x loader fuzzer and runs it for a bounded time over its corpus.
# Usage: tests/fuzz/run-xmesh-fuzz.sh [seconds] [libFuzzer options...]
set -euo pipefail
source "$(dirname "$0")/fuzz-common.sh"
fuzz_target xmesh-fuzz
fuzz_run xmesh-fuzz "${1:-60}" "$(fuzz_max_len xmesh-fuzz)" "${@:2}"
