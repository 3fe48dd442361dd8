#!/usr/bin/env bash
# Builds the .x loader fuzzer and runs it for a bounded time. Usage: tests/fuzz/run-xmesh-fuzz.sh [seconds] [libFuzzer options...]
set -euo pipefail
source "$(dirname "$0")/fuzz-common.sh"
seconds="${1:-60}"

fuzz_build xmesh-fuzz "$root"/tests/fuzz/XMeshFuzz.cpp "$root"/platform/linux/d3dx9/XMeshLoader.cpp \
  "$root"/platform/linux/d3dx9/XFileStructure.cpp

# Seeds: a text triangle with a frame, texture coordinates and a material list.
cat > "$out/xmesh-fuzz-corpus/triangle.x" <<'XFILE'
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

seed_demo_assets "$out/xmesh-fuzz-corpus" skullocc.x

fuzz_run xmesh-fuzz "$seconds" 8192 "${@:2}"
