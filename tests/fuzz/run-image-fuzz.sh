#!/usr/bin/env bash
# Builds the image-decoding fuzzer (PNG, BMP, JPEG, TGA behind texture loading) and runs it for a
# bounded time. Usage: tests/fuzz/run-image-fuzz.sh [seconds] [libFuzzer options...]
set -euo pipefail
source "$(dirname "$0")/fuzz-common.sh"
seconds="${1:-60}"

fuzz_build image-decode-fuzz "$root"/tests/fuzz/ImageDecodeFuzz.cpp "$root"/platform/linux/d3dx9/ImageDecoder.cpp
corpus="$out/image-decode-fuzz-corpus"
# Seeds: a 2 x 2 24-bit BMP, a 1 x 2 top-down 32-bit BMP, a tiny TGA, our golden PNG, and the
# demo's own pictures where a build made them.
printf 'BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x18\0\0\0\0\0\x10\0\0\0\x13\x0b\0\0\x13\x0b\0\0\0\0\0\0\0\0\0\0\xff\0\0\0\xff\0\0\0\0\0\xff\xff\xff\xff\0\0' \
  > "$corpus/two-by-two.bmp"
printf 'BM\x3e\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x01\0\0\0\xfe\xff\xff\xff\x01\0\x20\0\0\0\0\0\x08\0\0\0\x13\x0b\0\0\x13\x0b\0\0\0\0\0\0\0\0\0\0\x10\x20\x30\x40\x50\x60\x70\x80' \
  > "$corpus/top-down.bmp"
printf '\0\0\x02\0\0\0\0\0\0\0\0\0\x01\0\x01\0\x20\x28\x11\x22\x33\x44' > "$corpus/one.tga"
cp "$root/tests/platform/d3dx9/lit-cube.png" "$corpus/"
seed_demo_assets "$corpus" mushrum.png ziemia.bmp

fuzz_run image-decode-fuzz "$seconds" 65536 -malloc_limit_mb=512 "${@:2}"
