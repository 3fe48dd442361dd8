#!/usr/bin/env bash
# Rewrites the committed seed corpora, tests/fuzz/corpus/<target>/, from files of our own: the demo's
# assets at a small size and the tests' .x cubes (tests/fuzz/SeedWriter.cpp), the hand-made effects
# in tests/fuzz/seeds/, the demo's effect and the image box's, and small images and files written
# here. Each target keeps, through libFuzzer's -merge=1, the smallest set of them that covers
# what they all cover. Usage: tests/fuzz/make-seed-corpus.sh [target...]   (default: all five)
set -euo pipefail
source "$(dirname "$0")/fuzz-common.sh"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(config-reader-fuzz image-decode-fuzz xmesh-fuzz effect-parser-fuzz effect-compile-fuzz)

candidates="$out/seed-candidates"
rm -rf "$candidates"
mkdir -p "$candidates"
clang++ -std=c++17 -O1 -I"$root" -I"$root/assets/generator" "$root"/tests/fuzz/SeedWriter.cpp \
  "$root"/assets/generator/{ConfigFile,Earth,ImageFile,Noise,Skull,SurfaceNets}.cpp \
  "$root"/tests/platform/d3dx9/XFileWriter.cpp -o "$out/seed-writer"
"$out/seed-writer" "$candidates"

# Configuration: beside the demo's file, a UTF-16 BE one, comments, quotes and every value form.
config="$candidates/config"
printf 'DeviceConfig\r\n{\r\n=1;\r\n=true;=1.5;=2.5;=-3;="a\\"b";=x;=300;\r\n}\r\n' > "$config/ansi.cfg"
printf '\xfe\xff\x00D\x00{\x00=\x001\x00;\x00}' > "$config/be.cfg"
printf '// DeviceConfig {\nDeviceConfig // x\n{ =1; // y\n=2; }' > "$config/comments.cfg"

# Images: a 2 x 2 24-bit BMP, a 1 x 2 top-down 32-bit BMP, a tiny TGA, our golden PNG, and the small
# Earth converted to the other layouts the decoders take apart (palettes, RLE, 16 bits, grey,
# interlaced and progressive).
image="$candidates/image"
printf 'BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x18\0\0\0\0\0\x10\0\0\0\x13\x0b\0\0\x13\x0b\0\0\0\0\0\0\0\0\0\0\xff\0\0\0\xff\0\0\0\0\0\xff\xff\xff\xff\0\0' \
  > "$image/two-by-two.bmp"
printf 'BM\x3e\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x01\0\0\0\xfe\xff\xff\xff\x01\0\x20\0\0\0\0\0\x08\0\0\0\x13\x0b\0\0\x13\x0b\0\0\0\0\0\0\0\0\0\0\x10\x20\x30\x40\x50\x60\x70\x80' \
  > "$image/top-down.bmp"
printf '\0\0\x02\0\0\0\0\0\0\0\0\0\x01\0\x01\0\x20\x28\x11\x22\x33\x44' > "$image/one.tga"
cp "$root/tests/platform/d3dx9/lit-cube.png" "$image/"
if command -v convert > /dev/null; then
  earth="$image/earth-8x8.png"
  for variant in "bmp8:-colors 16" "bmp4:-colors 8 -define bmp:format=bmp3" "bmp1:-monochrome" \
                 "bmp16:-define bmp:subtype=RGB565" "bmp32:-alpha on -define bmp:format=bmp4" \
                 "tga:-compress RLE" "tgapal:-colors 16 -type Palette" "tgagrey:-colorspace Gray" \
                 "png8:-colors 16" "pnggrey:-colorspace Gray" "png16:-depth 16" "pnginterlaced:-interlace PNG" \
                 "jpg:-quality 90" "jpggrey:-colorspace Gray" "jpgprogressive:-interlace JPEG" \
                 "jpg420:-sampling-factor 2x2"; do
    name="${variant%%:*}"
    case "$name" in
      bmp*) format=BMP extension=bmp ;;
      tga*) format=TGA extension=tga ;;
      png8) format=PNG8 extension=png ;;
      png*) format=PNG extension=png ;;
      jpg*) format=JPEG extension=jpg ;;
    esac
    # shellcheck disable=SC2086
    convert "$earth" ${variant#*:} "$format:$image/earth-$name.$extension"
  done
fi

# .x: beside the writer's, a text triangle with a frame, normals, texture coordinates and materials.
cat > "$candidates/xmesh/triangle.x" <<'XFILE'
xof 0303txt 0032
Frame Root {
 FrameTransformMatrix { 1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,2.0,0.0,0.0,1.0;; }
 Mesh Tri {
  4; 0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;0.0;0.0;, 1.0;1.0;0.0;;
  2; 3;0,1,2;, 3;2,1,3;;
  MeshNormals { 1; 0.0;0.0;-1.0;; 2; 3;0,0,0;, 3;0,0,0;; }
  MeshTextureCoords { 4; 0.0;0.0;, 0.0;1.0;, 1.0;0.0;, 1.0;1.0;; }
  MeshMaterialList { 2; 2; 0, 1;; Material { 1.0;0.0;0.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }
                     Material { 0.0;1.0;0.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; } }
 }
}
XFILE

# Effects: the demo's, the image box's (one line), the tests' mesh effect and that effect with a
# one-wide normal (a mul glslang once crashed on), and the hand-made ones.
effect="$candidates/effect"
mkdir -p "$effect"
cp "$root/assets/effect.fx" "$effect/lighting.fx"
cp "$root"/tests/fuzz/seeds/*.fx "$effect/"
sed -n 's/^    "\(.*\)"[;]*$/\1/p' "$root/tests/platform/d3dx9/BuiltInEffects.h" | head -7 | tr -d '\n' > "$effect/image.fx"
sed -n '/R"(/,/)";/p' "$root/tests/platform/d3dx9/BuiltInEffects.h" | sed '1s/.*R"(//; $d' > "$effect/mesh.fx"
sed 's/float3 normal : NORMAL/float1 normal : NORMAL/' "$effect/mesh.fx" > "$effect/mesh-one-wide-normal.fx"

for name in "${targets[@]}"; do
  case "$name" in
    config-reader-fuzz) from="$candidates/config" ;;
    image-decode-fuzz) from="$image" ;;
    xmesh-fuzz) from="$candidates/xmesh" ;;
    effect-*) from="$effect" ;;
    *) echo "unknown fuzz target $name" >&2; exit 2 ;;
  esac
  fuzz_target "$name"
  corpus="$root/tests/fuzz/corpus/$name"
  rm -rf "$corpus"
  mkdir -p "$corpus"
  "$out/$name" -merge=1 -max_len="$(fuzz_max_len "$name")" -rss_limit_mb=4096 "$corpus" "$from" > "$out/$name-merge.log" 2>&1 ||
    { cat "$out/$name-merge.log"; exit 1; }
  echo "$name: $(ls "$from" | wc -l) candidates, $(ls "$corpus" | wc -l) kept ($(du -sk "$corpus" | cut -f1) KB)"
done
