#!/usr/bin/env bash
# Builds the configuration-reader fuzzer and runs it for a bounded time.
# Usage: tests/fuzz/run-config-fuzz.sh [seconds] [libFuzzer options...]
set -euo pipefail
source "$(dirname "$0")/fuzz-common.sh"
seconds="${1:-60}"

fuzz_build config-reader-fuzz "$root"/tests/fuzz/ConfigReaderFuzz.cpp "$root"/lib/*.cpp \
  "$root"/platform/linux/kernel32/*.cpp
corpus="$out/config-reader-fuzz-corpus"
# Seeds: a well-formed ANSI file, a UTF-16 BE one, comments and quotes.
printf 'DeviceConfig\r\n{\r\n=1;\r\n=true;=1.5;=2.5;=-3;="a\\"b";=x;=300;\r\n}\r\n' > "$corpus/ansi.cfg"
printf '\xfe\xff\x00D\x00{\x00=\x001\x00;\x00}' > "$corpus/be.cfg"
printf '// DeviceConfig {\nDeviceConfig // x\n{ =1; // y\n=2; }' > "$corpus/comments.cfg"

seed_demo_assets "$corpus" config.cfg

fuzz_run config-reader-fuzz "$seconds" 65536 "${@:2}"
