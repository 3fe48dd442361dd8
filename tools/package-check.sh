#!/usr/bin/env bash
# Checks the packages tools/package.sh made, as a user would meet them: the Linux archive unpacked
# into a fresh folder elsewhere, its demo toured headless (four screenshots that are not flat) and its
# checkers run on the demo's own files; the Windows zip's file list.
# Usage: tools/package-check.sh [package folder]   (default build/packages)
set -euo pipefail
cd "$(dirname "$0")/.."
packages="$(realpath "${1:-build/packages}")"
version="$(sed -n 's/^project(NVesk VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
linux="$packages/NVesk-$version-Linux-x86_64.tar.gz"
windows="$packages/NVesk-$version-win64.zip"
assets=(config.cfg mushrum.png ziemia.bmp skullocc.x effect.fx)

fail() {
  echo "package-check: $*" >&2
  exit 1
}
[ -f "$linux" ] || fail "no $linux (run tools/package.sh)"
[ -f "$windows" ] || fail "no $windows (run tools/package.sh)"

# The zip: one folder with exactly the Windows demo, its assets, README and LICENSE.
expected="$(printf "NVesk-$version-win64/%s\n" HelloWorld.exe "${assets[@]}" README.md LICENSE | sort)"
listed="$(unzip -Z1 "$windows" | grep -v '/$' | sort)"
[ "$listed" = "$expected" ] || fail "the zip holds:"$'\n'"$listed"$'\n'"expected:"$'\n'"$expected"
echo "zip: $(echo "$listed" | wc -l) files as expected"

unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
tar -xzf "$linux" -C "$unpacked"
demo="$unpacked/NVesk-$version-Linux-x86_64"
for file in HelloWorld fxcheck xcheck "${assets[@]}" README.md LICENSE; do
  [ -f "$demo/$file" ] || fail "the Linux archive lacks $file"
done
xvfb-run -a -s "-screen 0 1280x1024x24" tools/tour.sh "$demo" "$unpacked/shots"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c 'cd "$1" && ./fxcheck effect.fx >/dev/null && ./xcheck skullocc.x >/dev/null' _ "$demo" ||
  fail "the packaged checkers refuse the demo's own effect or mesh"
echo "Linux archive: unpacked into $demo, toured, checkers pass on the demo's files"
