#!/usr/bin/env bash
# Builds the effect front-end fuzzer with clang (libFuzzer + AddressSanitizer) and runs it for a
# bounded time. Usage: tests/fuzz/run-effect-fuzz.sh [seconds]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
seconds="${1:-60}"
"$root/tools/install-deps.sh" fuzz

out="$root/build/fuzz"
mkdir -p "$out/effect-corpus"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" -I"$root/platform/linux/include" \
  "$root"/tests/fuzz/EffectParserFuzz.cpp "$root"/platform/linux/d3dx9/EffectLexer.cpp \
  "$root"/platform/linux/d3dx9/EffectParser.cpp \
  -o "$out/effect-parser-fuzz"

# Seeds: the image box's effect and a multi-line effect with defaults, annotations and passes.
sed -n 's/^    "\(.*\)"[;]*$/\1/p' "$root/tests/platform/d3dx9/BuiltInEffects.h" | head -7 | tr -d '\n' \
  > "$out/effect-corpus/image.fx"
sed -n '/R"(/,/)";/p' "$root/tests/platform/d3dx9/BuiltInEffects.h" | sed '1s/.*R"(//; $d' \
  > "$out/effect-corpus/mesh.fx"

"$out/effect-parser-fuzz" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=4096 \
  -print_final_stats=1 "$out/effect-corpus" 2>&1 | tee "$out/effect-fuzz.log" | grep -E "stat::number_of_executed_units|ERROR|SUMMARY|Done" || true
grep -q "ERROR: " "$out/effect-fuzz.log" && { echo "fuzzer found a fault"; exit 1; }
grep -q "stat::number_of_executed_units" "$out/effect-fuzz.log" || { echo "fuzzer did not finish"; exit 1; }
