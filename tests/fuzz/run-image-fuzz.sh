#!/usr/bin/env bash
# Builds the image-decoding fuzzer (PNG, BMP, JPEG, TGA behind texture loading) and runs it for a
# bounded time over its corpus. Usage: tests/fuzz/run-image-fuzz.sh [seconds] [libFuzzer options...]
set -euo pipefail
source "$(dirname "$0")/fuzz-common.sh"
fuzz_target image-decode-fuzz
fuzz_run image-decode-fuzz "${1:-60}" "$(fuzz_max_len image-decode-fuzz)" -malloc_limit_mb=512 "${@:2}"
