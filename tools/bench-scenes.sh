#!/usr/bin/env bash
# Builds the release preset's scene benchmark and runs it under Xvfb: every scene of the demo
# against raw OpenGL and SDL2's renderer. Usage: tools/bench-scenes.sh [seconds per scene] [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh linux
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake --preset linux-release "${launcher[@]}" >/dev/null
cmake --build --preset linux-release --target scene_bench
xvfb-run -a -s "-screen 0 1280x1024x24" build/linux-release/bench/scene_bench/scene_bench "${1:-3}" "${2:-3}"
