#!/usr/bin/env bash
# Builds the effect front-end fuzzer and runs it for a bounded time.
# Usage: tests/fuzz/run-effect-fuzz.sh [seconds]
set -euo pipefail
source "$(dirname "$0")/fuzz-common.sh"
seconds="${1:-60}"

fuzz_build effect-parser-fuzz "$root"/tests/fuzz/EffectParserFuzz.cpp "$root"/platform/linux/d3dx9/EffectLexer.cpp \
  "$root"/platform/linux/d3dx9/EffectParser.cpp
corpus="$out/effect-parser-fuzz-corpus"
# Seeds: the image box's effect and a multi-line effect with defaults, annotations and passes.
sed -n 's/^    "\(.*\)"[;]*$/\1/p' "$root/tests/platform/d3dx9/BuiltInEffects.h" | head -7 | tr -d '\n' > "$corpus/image.fx"
sed -n '/R"(/,/)";/p' "$root/tests/platform/d3dx9/BuiltInEffects.h" | sed '1s/.*R"(//; $d' > "$corpus/mesh.fx"

fuzz_run effect-parser-fuzz "$seconds" 16384
