#!/usr/bin/env bash
# Starts the Windows demo (HelloWorld.exe from the windows-mingw build) under Wine in an Xvfb display
# and checks its log. Wine's D3DX cannot compile effects from source, so the expected run is: window
# and device created, the image box's effect compile failure logged with its compiler output, the
# test screen's restore failure, the loop giving up the start, the renderer released, exit status 0.
# Usage: tools/windows-demo-check.sh [demo folder]   (default build/windows-mingw/demo)
set -euo pipefail
cd "$(dirname "$0")/.."
demo="$(realpath "${1:-build/windows-mingw/demo}")"
[ -f "$demo/HelloWorld.exe" ] || { echo "no $demo/HelloWorld.exe: run tools/windows-build.sh first" >&2; exit 1; }
for asset in config.cfg mushrum.png ziemia.bmp skullocc.x effect.fx; do
  [ -f "$demo/$asset" ] || { echo "the demo folder lacks $asset" >&2; exit 1; }
done

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8
export WINEPREFIX="${WINEPREFIX:-/tmp/nvesk-wine-$(id -u)}"
rm -f "$demo/myLog.log"
status=0
# The prefix is created in the same X session the demo uses.
# shellcheck disable=SC2016  # $1 expands in the inner shell
xvfb-run -a -s "-screen 0 1280x1024x24" \
  bash -c 'wineboot -i >/dev/null 2>&1; cd "$1" && timeout 120 wine HelloWorld.exe' _ "$demo" || status=$?

[ -f "$demo/myLog.log" ] || { echo "FAIL: HelloWorld.exe wrote no myLog.log (status $status)" >&2; exit 1; }
# UTF-16 LE with CR LF; drop the byte-order mark and each line's time stamp.
log="$(iconv -f UTF-16LE -t UTF-8 "$demo/myLog.log" | tr -d '\r' | sed -e '1s/^\xEF\xBB\xBF//' \
  -E -e 's/^[0-9]+-[0-9]+-[0-9]+  [0-9]+:[0-9]+    //')"
echo "--- myLog.log"
echo "$log"
echo "---"

failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

# Each expected line begins with its text, in this order (other lines may come between).
expected=(
  'Loading config file: config.cfg'
  'Initializing Renderer'
  'NVesk::NRenderer::ImageBox::RestoreBox >> Cannot compile an effect.'
  'Compile log:'
  'TestScreen::RestoreResources >> Function "RestoreBox" returned an error. Code: '
  'NVesk::NRenderer::Renderer::StartLoop >> Function "RestoreResources()" has returned NONZERO value.'
  'Releasing Renderer'
)
next=0
while IFS= read -r line; do
  [ "$next" -lt ${#expected[@]} ] || break
  [[ "$line" == "${expected[$next]}"* ]] && next=$((next + 1))
done <<< "$log"
[ "$next" -eq ${#expected[@]} ] || fail "missing or out of order: \"${expected[$next]}\""
# "-->" lines are the renderer's window and device set-up failures.
if grep -q -- '^-->' <<< "$log"; then
  fail "the window or the device was not created"
fi
[ "$status" -eq 0 ] || fail "HelloWorld.exe exited with status $status"
[ "$failed" -eq 0 ] || exit 1
echo "Windows demo under Wine: started, failed its effect compile cleanly, released and exited"
