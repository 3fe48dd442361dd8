#!/usr/bin/env bash
# Installs what is missing, builds the demo (preset linux-release) and runs it in its asset folder:
# in a window when there is a display; without one, under Xvfb, where tools/tour.sh drives it with
# X input and saves a screenshot of every scene.
# Usage: tools/run-demo.sh [screenshot folder]   (used without a display; default docs/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh linux
cmake --preset linux-release
cmake --build --preset linux-release --target HelloWorld nvesk_assets
demo="$PWD/build/linux-release/demo"

if [ -n "${DISPLAY:-}" ]; then
  cd "$demo"
  exec ./HelloWorld
fi
shots="$(realpath -m "${1:-docs/screenshots}")"
echo "No display: touring the demo under Xvfb, screenshots into $shots"
exec xvfb-run -a -s "-screen 0 1280x1024x24" tools/tour.sh "$demo" "$shots"
