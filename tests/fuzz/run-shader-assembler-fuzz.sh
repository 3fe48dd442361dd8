#!/usr/bin/env bash
# Builds the shader assembler fuzzer and runs it for a bounded time over its corpus.
# Usage: tests/fuzz/run-shader-assembler-fuzz.sh [seconds] [libFuzzer options...]
set -euo pipefail
source "$(dirname "$0")/fuzz-common.sh"
fuzz_target shader-assembler-fuzz
fuzz_run shader-assembler-fuzz "${1:-60}" "$(fuzz_max_len shader-assembler-fuzz)" "${@:2}"
