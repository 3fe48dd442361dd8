# Shared by the run-*-fuzz.sh scripts (sourced): building a libFuzzer target with clang
# (AddressSanitizer + UndefinedBehaviorSanitizer) and a bounded run that fails on any fault.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
out="$root/build/fuzz"
"$root/tools/install-deps.sh" fuzz
mkdir -p "$out"

# object_is_current OBJECT: the object is newer than its source and every header it read.
object_is_current() {
  local object="$1" dependency
  [ -f "$object" ] && [ -f "$object.d" ] || return 1
  for dependency in $(sed -e 's/^[^:]*://' -e 's/\\$//' "$object.d"); do
    [ "$object" -nt "$dependency" ] || return 1
  done
}

# fuzz_build NAME SOURCES... [FLAGS...] [LIBS...]: build/fuzz/NAME from the given sources. Each
# source is compiled into build/fuzz/objects/ (one folder per set of flags), on every core, and again
# only when it or a header it reads has changed.
fuzz_build() {
  local name="$1"
  shift
  local sources=() flags=() libs=() arg
  for arg in "$@"; do
    case "$arg" in
      *.cpp) sources+=("$arg") ;;
      -l* | -Wl,*) libs+=("$arg") ;;
      *) flags+=("$arg") ;;
    esac
  done
  local compile=(clang++ -std=c++17 -g -O1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                 -I"$root" -I"$root/platform/linux/include" "${flags[@]}")
  local objects="$out/objects/$(printf '%s\n' "${compile[@]}" | md5sum | cut -c1-12)"
  local source object pids=() built=()
  for source in "${sources[@]}"; do
    object="$objects/${source#"$root"/}.o"
    built+=("$object")
    object_is_current "$object" && continue
    mkdir -p "$(dirname "$object")"
    while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n; done
    "${compile[@]}" -MMD -MF "$object.d" -c "$source" -o "$object" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid"; done
  clang++ -fsanitize=fuzzer,address,undefined "${built[@]}" "${libs[@]}" -o "$out/$name"
  mkdir -p "$out/$name-corpus"
}

# fuzz_target NAME: builds the named target (config-reader-fuzz, image-decode-fuzz, xmesh-fuzz,
# effect-parser-fuzz, effect-compile-fuzz, shader-assembler-fuzz) and fills its working corpus, build/fuzz/NAME-corpus,
# with the seeds committed in tests/fuzz/corpus/NAME/ that it lacks.
fuzz_target() {
  local name="$1" d3dx9="$root/platform/linux/d3dx9"
  case "$name" in
    config-reader-fuzz)
      fuzz_build "$name" "$root"/tests/fuzz/ConfigReaderFuzz.cpp "$root"/lib/*.cpp "$root"/platform/linux/kernel32/*.cpp ;;
    image-decode-fuzz)
      # The resampler's loops depend on the sizes alone: no coverage there, where tracing its
      # comparisons took about four fifths of the time. It still runs, under both sanitizers.
      # Signed arithmetic wraps there, as the library build compiles it (platform/linux/d3dx9/CMakeLists.txt).
      # stb_image 2.27's JPEG bit reader shifts by more than 31 on damaged data
      # (tests/fuzz/found/jpeg-bit-reader-shift-past-32.jpg, not mended): shift sizes go unchecked.
      fuzz_build "$name" "$root"/tests/fuzz/ImageDecodeFuzz.cpp "$d3dx9"/ImageDecoder.cpp \
        -fsanitize-coverage-ignorelist="$root/tests/fuzz/image-coverage-ignore.txt" -fwrapv \
        -fno-sanitize=shift-exponent ;;
    xmesh-fuzz)
      fuzz_build "$name" "$root"/tests/fuzz/XMeshFuzz.cpp "$d3dx9"/XMeshLoader.cpp "$d3dx9"/XFileStructure.cpp ;;
    effect-parser-fuzz)
      fuzz_build "$name" "$root"/tests/fuzz/EffectParserFuzz.cpp "$d3dx9"/EffectLexer.cpp "$d3dx9"/EffectParser.cpp \
        "$d3dx9"/EffectExpression.cpp "$d3dx9"/ArrayInitialisers.cpp "$d3dx9"/GlobalWrites.cpp \
        "$d3dx9"/LegacyForScope.cpp "$d3dx9"/MatrixSwizzles.cpp "$d3dx9"/SourceEdit.cpp ;;
    effect-compile-fuzz)
      # glslang is built without type information, so this target runs without vptr checks.
      fuzz_build "$name" "$root"/tests/fuzz/EffectCompileFuzz.cpp "$d3dx9"/EffectLexer.cpp \
        "$d3dx9"/EffectParser.cpp "$d3dx9"/EffectExpression.cpp "$d3dx9"/HlslCompiler.cpp "$d3dx9"/OneWideValues.cpp \
        "$d3dx9"/EntryParameters.cpp "$d3dx9"/SelectionGuard.cpp "$d3dx9"/ArrayInitialisers.cpp "$d3dx9"/GlobalWrites.cpp \
        "$d3dx9"/LegacyForScope.cpp "$d3dx9"/MatrixSwizzles.cpp "$d3dx9"/SourceEdit.cpp \
        "$d3dx9"/CompilerMessages.cpp "$d3dx9"/ProgramCache.cpp "$d3dx9"/ShaderArguments.cpp \
        "$d3dx9"/VaryingRegisters.cpp -DENABLE_HLSL -fno-sanitize=vptr \
        -Wl,--start-group -lglslang -lSPIRV -lHLSL -lMachineIndependent -lGenericCodeGen -lOGLCompiler \
        -lOSDependent -lglslang-default-resource-limits -Wl,--end-group \
        -lSPIRV-Tools-opt -lSPIRV-Tools -lspirv-cross-c-shared -lpthread \
        -Wl,--wrap=_ZN7glslang13TIntermediate12addSelectionEPNS_12TIntermTypedES2_S2_RKNS_10TSourceLocE \
        -Wl,--wrap=_ZN7glslang16HlslParseContext12handleLvalueERKNS_10TSourceLocEPKcRPNS_12TIntermTypedE ;;
    shader-assembler-fuzz)
      fuzz_build "$name" "$root"/tests/fuzz/ShaderAssemblerFuzz.cpp "$d3dx9"/ShaderAssembler.cpp \
        "$d3dx9"/ShaderAssemblyErrors.cpp "$d3dx9"/ShaderAssemblyParser.cpp "$d3dx9"/ShaderAssemblyTokens.cpp \
        "$d3dx9"/ShaderComponentReads.cpp "$d3dx9"/ShaderFlowControl.cpp "$d3dx9"/ShaderInstructionTable.cpp \
        "$d3dx9"/ShaderOperandRules.cpp "$d3dx9"/ShaderOutputRules.cpp "$d3dx9"/ShaderPixel1Rules.cpp \
        "$d3dx9"/ShaderProgramRules.cpp "$d3dx9"/ShaderRegisterTable.cpp "$d3dx9"/CompilerMessages.cpp \
        "$d3dx9"/EffectLexer.cpp ;;
    *) echo "unknown fuzz target $name" >&2; return 2 ;;
  esac
  if [ -d "$root/tests/fuzz/corpus/$name" ]; then
    cp -n "$root/tests/fuzz/corpus/$name"/* "$out/$name-corpus/" 2>/dev/null || true
  fi
}

# fuzz_max_len NAME: the longest input the target is given. Effects of a few kilobytes hold every
# construct; longer ones only cost time.
fuzz_max_len() {
  case "$1" in
    config-reader-fuzz | image-decode-fuzz) echo 65536 ;;
    xmesh-fuzz) echo 8192 ;;
    effect-parser-fuzz | effect-compile-fuzz | shader-assembler-fuzz) echo 4096 ;;
  esac
}

# fuzz_run NAME SECONDS MAX_LEN [LIBFUZZER OPTIONS...]: runs over build/fuzz/NAME-corpus; fails
# when the fuzzer reports a fault or did not finish.
fuzz_run() {
  local name="$1" seconds="$2" max_len="$3"
  shift 3
  "$out/$name" "$@" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=4096 \
    -print_final_stats=1 "$out/$name-corpus" 2>&1 | tee "$out/$name.log" |
    grep -E "stat::number_of_executed_units|ERROR|SUMMARY|Done" || true
  if grep -q "ERROR: " "$out/$name.log"; then
    echo "fuzzer found a fault"
    return 1
  fi
  grep -q "stat::number_of_executed_units" "$out/$name.log" || { echo "fuzzer did not finish"; return 1; }
}
