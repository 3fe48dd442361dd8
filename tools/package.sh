#!/usr/bin/env bash
# Builds the download packages with CPack into build/packages/: NVesk-<version>-Linux-x86_64.tar.gz
# from the linux-release preset and NVesk-<version>-win64.zip from the MinGW cross build. Each holds
# one folder: the demo, its assets, the file checkers (Linux), README.md and LICENSE.
# Usage: tools/package.sh [linux|windows]...   (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."

systems=("$@")
[ ${#systems[@]} -gt 0 ] || systems=(linux windows)
for system in "${systems[@]}"; do
  case "$system" in
    linux)
      tools/install-deps.sh linux
      cmake --preset linux-release
      # Only what the package holds: the tests and benchmarks are not installed.
      cmake --build --preset linux-release --target HelloWorld nvesk_assets fxcheck xcheck
      cpack --config build/linux-release/CPackConfig.cmake
      ;;
    windows)
      tools/install-deps.sh windows
      cmake --preset windows-mingw
      cmake --build --preset windows-mingw --target HelloWorld nvesk_assets
      cpack --config build/windows-mingw/CPackConfig.cmake
      ;;
    *)
      echo "package.sh: unknown system: $system (linux or windows)" >&2
      exit 2
      ;;
  esac
done
ls -l build/packages/*.tar.gz build/packages/*.zip 2>/dev/null || true
