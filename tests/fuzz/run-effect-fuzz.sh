#!/usr/bin/env bash
# Builds the effect fuzzers and runs them for a bounded time over their corpora: the front end, then
# the compiler entry (front end, then glslang and SPIRV-Cross for every pass), half of the time each.
# Usage: tests/fuzz/run-effect-fuzz.sh [seconds] [libFuzzer options...]
# NVESK_EFFECT_FUZZ=parser or compiler runs only that one, for the whole time.
set -euo pipefail
source "$(dirname "$0")/fuzz-common.sh"
seconds="${1:-60}"
part="${NVESK_EFFECT_FUZZ:-both}"

case "$part" in
  parser | compiler) names=("effect-${part/compiler/compile}-fuzz") times=("$seconds") ;;
  *) names=(effect-parser-fuzz effect-compile-fuzz) times=("$((seconds / 2))" "$((seconds - seconds / 2))") ;;
esac
for name in "${names[@]}"; do fuzz_target "$name"; done
for i in "${!names[@]}"; do
  fuzz_run "${names[$i]}" "${times[$i]}" "$(fuzz_max_len "${names[$i]}")" "${@:2}"
done
