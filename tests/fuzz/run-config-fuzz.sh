#!/usr/bin/env bash
# Builds the configuration-reader fuzzer with clang (libFuzzer + AddressSanitizer) and runs it for
# a bounded time. Usage: tests/fuzz/run-config-fuzz.sh [seconds]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
seconds="${1:-60}"
"$root/tools/install-deps.sh" fuzz

out="$root/build/fuzz"
mkdir -p "$out/config-corpus"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" -I"$root/platform/linux/include" \
  "$root"/tests/fuzz/ConfigReaderFuzz.cpp "$root"/lib/*.cpp "$root"/platform/linux/kernel32/*.cpp \
  -o "$out/config-reader-fuzz"

# Seeds: a well-formed ANSI file, a UTF-16 BE one, comments and quotes.
printf 'DeviceConfig\r\n{\r\n=1;\r\n=true;=1.5;=2.5;=-3;="a\\"b";=x;=300;\r\n}\r\n' > "$out/config-corpus/ansi.cfg"
printf '\xfe\xff\x00D\x00{\x00=\x001\x00;\x00}' > "$out/config-corpus/be.cfg"
printf '// DeviceConfig {\nDeviceConfig // x\n{ =1; // y\n=2; }' > "$out/config-corpus/comments.cfg"

"$out/config-reader-fuzz" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=4096 \
  -print_final_stats=1 "$out/config-corpus" 2>&1 | tee "$out/config-fuzz.log" | grep -E "stat::number_of_executed_units|ERROR|SUMMARY|Done" || true
grep -q "ERROR: " "$out/config-fuzz.log" && { echo "fuzzer found a fault"; exit 1; }
grep -q "stat::number_of_executed_units" "$out/config-fuzz.log" || { echo "fuzzer did not finish"; exit 1; }
