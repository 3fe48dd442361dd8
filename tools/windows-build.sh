#!/usr/bin/env bash
# Cross-builds NVesk for 64-bit Windows with MinGW-w64; with --test, runs the Windows test
# executables under Wine. Usage: tools/windows-build.sh [--test]
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh windows
cmake --preset windows-mingw
cmake --build --preset windows-mingw

if [ "${1:-}" = "--test" ]; then
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8
  export WINEPREFIX="${WINEPREFIX:-/tmp/nvesk-wine-$(id -u)}"
  # The prefix is created in the same X session the tests use.
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c 'wineboot -i >/dev/null 2>&1; ctest --preset windows-mingw --timeout 300'
fi
