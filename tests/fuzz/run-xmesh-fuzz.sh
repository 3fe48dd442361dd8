#!/usr/bin/env bash
# Builds the .x loader fuzzer with clang (libFuzzer + AddressSanitizer) and runs it for a
# bounded time. Usage: tests/fuzz/run-xmesh-fuzz.sh [seconds]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
seconds="${1:-60}"
"$root/tools/install-deps.sh" fuzz

out="$root/build/fuzz"
mkdir -p "$out/xmesh-corpus"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" -I"$root/platform/linux/include" \
  "$root"/tests/fuzz/XMeshFuzz.cpp "$root"/platform/linux/d3dx9/XMeshLoader.cpp \
  "$root"/platform/linux/d3dx9/XFileStructure.cpp \
  -o "$out/xmesh-fuzz"

# Seeds: a text triangle with a frame, texture coordinates and a material list.
cat > "$out/xmesh-corpus/triangle.x" <<'XFILE'
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

"$out/xmesh-fuzz" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=4096 \
  -print_final_stats=1 "$out/xmesh-corpus" 2>&1 | tee "$out/xmesh-fuzz.log" | grep -E "stat::number_of_executed_units|ERROR|SUMMARY|Done" || true
grep -q "ERROR: " "$out/xmesh-fuzz.log" && { echo "fuzzer found a fault"; exit 1; }
grep -q "stat::number_of_executed_units" "$out/xmesh-fuzz.log" || { echo "fuzzer did not finish"; exit 1; }
