#!/usr/bin/env bash
# Installs the Debian 12 packages NVesk needs that are missing. Usage: tools/install-deps.sh [linux|windows|fuzz|format]...
set -euo pipefail

linux=(cmake ninja-build g++ pkg-config
       libsdl2-dev libepoxy-dev glslang-dev spirv-tools libspirv-cross-c-shared-dev libstb-dev
       libmeshoptimizer-dev glslang-tools googletest libgtest-dev libbenchmark-dev
       xvfb xauth libgl1-mesa-dri xdotool imagemagick)
windows=(g++-mingw-w64-x86-64-posix mingw-w64 wine wine64 googletest xvfb xauth)
fuzz=(clang libclang-rt-14-dev)
format=(clang-format-14 git)

wanted=()
for set in "${@:-linux}"; do
  case "$set" in
    linux) wanted+=("${linux[@]}") ;;
    windows) wanted+=("${windows[@]}") ;;
    fuzz) wanted+=("${fuzz[@]}") ;;
    format) wanted+=("${format[@]}") ;;
    *) echo "unknown package set: $set" >&2; exit 2 ;;
  esac
done

missing=()
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
