#!/usr/bin/env bash
# Builds the effect fuzzers and runs them for a bounded time: the front end, then the compiler
# entry (front end, then glslang and SPIRV-Cross for every pass), half of the time each.
# Usage: tests/fuzz/run-effect-fuzz.sh [seconds] [libFuzzer options...]
# NVESK_EFFECT_FUZZ=parser or compiler runs only that one, for the whole time.
set -euo pipefail
source "$(dirname "$0")/fuzz-common.sh"
seconds="${1:-60}"
part="${NVESK_EFFECT_FUZZ:-both}"

d3dx9="$root/platform/linux/d3dx9"
# glslang is built without type information, so the compiler target runs without vptr checks.
fuzz_build effect-parser-fuzz "$root"/tests/fuzz/EffectParserFuzz.cpp "$d3dx9"/EffectLexer.cpp "$d3dx9"/EffectParser.cpp \
  "$d3dx9"/EffectExpression.cpp
fuzz_build effect-compile-fuzz "$root"/tests/fuzz/EffectCompileFuzz.cpp "$d3dx9"/EffectLexer.cpp \
  "$d3dx9"/EffectParser.cpp "$d3dx9"/EffectExpression.cpp "$d3dx9"/HlslCompiler.cpp "$d3dx9"/CompilerMessages.cpp "$d3dx9"/ProgramCache.cpp \
  "$d3dx9"/ShaderArguments.cpp "$d3dx9"/VaryingRegisters.cpp -DENABLE_HLSL -fno-sanitize=vptr \
  -Wl,--start-group -lglslang -lSPIRV -lHLSL -lMachineIndependent -lGenericCodeGen -lOGLCompiler -lOSDependent \
  -lglslang-default-resource-limits -Wl,--end-group \
  -lSPIRV-Tools-opt -lSPIRV-Tools -lspirv-cross-c-shared -lpthread
# Seeds: the demo's lighting effect, the image box's effect, a multi-line effect with defaults,
# annotations and passes, and that effect with a one-wide normal (a mul glslang once crashed on).
for corpus in "$out/effect-parser-fuzz-corpus" "$out/effect-compile-fuzz-corpus"; do
  cp "$root/assets/effect.fx" "$corpus/lighting.fx"
  sed -n 's/^    "\(.*\)"[;]*$/\1/p' "$root/tests/platform/d3dx9/BuiltInEffects.h" | head -7 | tr -d '\n' > "$corpus/image.fx"
  sed -n '/R"(/,/)";/p' "$root/tests/platform/d3dx9/BuiltInEffects.h" | sed '1s/.*R"(//; $d' > "$corpus/mesh.fx"
  sed 's/float3 normal : NORMAL/float1 normal : NORMAL/' "$corpus/mesh.fx" > "$corpus/mesh-one-wide-normal.fx"
done

case "$part" in
  parser) fuzz_run effect-parser-fuzz "$seconds" 16384 "${@:2}" ;;
  compiler) fuzz_run effect-compile-fuzz "$seconds" 16384 "${@:2}" ;;
  *)
    fuzz_run effect-parser-fuzz "$((seconds / 2))" 16384 "${@:2}"
    fuzz_run effect-compile-fuzz "$((seconds - seconds / 2))" 16384 "${@:2}"
    ;;
esac
