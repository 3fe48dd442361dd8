#!/usr/bin/env bash
# Drives the real demo with X input (xdotool: F1, F2, F3, F4, mouse motion, Escape) and saves one
# screenshot per scene: fire.png, mesh.png, water.png, empty.png. With --animate, also a two-second
# animation of each scene from frames captured as it runs: fire.gif, mesh.gif, water.gif, empty.gif.
# Needs an X display; run it under xvfb-run when there is none (tools/run-demo.sh does).
# Usage: tools/tour.sh [--animate] [demo folder] [screenshot folder]
#   demo folder: HelloWorld and its assets (default build/linux-release/demo)
#   screenshot folder: created if missing (default docs/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
animate=0
if [ "${1:-}" = "--animate" ]; then
  animate=1
  shift
fi
demo="$(realpath "${1:-build/linux-release/demo}")"
shots="$(realpath -m "${2:-docs/screenshots}")"
[ -n "${DISPLAY:-}" ] || { echo "tour.sh: no X display (use xvfb-run)" >&2; exit 1; }
[ -x "$demo/HelloWorld" ] || { echo "tour.sh: no $demo/HelloWorld; build it first" >&2; exit 1; }
mkdir -p "$shots"

show_log() {
  [ -f "$demo/myLog.log" ] && { echo "--- myLog.log"; iconv -f UTF-16LE -t UTF-8 "$demo/myLog.log" | tr -d '\r'; } >&2
  return 0
}

cd "$demo"
./HelloWorld &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

# The window is titled "HelloWorld" until the first frame names the frame rate.
window=""
for _ in $(seq 150); do
  window="$(xdotool search --onlyvisible --name '^(HelloWorld|NVesk, FPS: .*)$' 2>/dev/null | head -n1 || true)"
  [ -n "$window" ] && break
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "tour.sh: HelloWorld ended before showing its window" >&2
    show_log
    exit 1
  fi
  sleep 0.2
done
[ -n "$window" ] || { echo "tour.sh: no HelloWorld window after 30 s" >&2; show_log; exit 1; }

# The demo draws only while it has the keyboard focus.
xdotool mousemove --window "$window" 400 300
xdotool windowfocus "$window"
sleep 1

# Scene keys are read as held: hold each long enough for a frame or two to see it.
press() {
  xdotool keydown "$1"
  sleep 0.15
  xdotool keyup "$1"
}

# Moves the cursor in small steps (the demo moves it two pixels per unit of mouse motion).
move() {
  local dx=$1 dy=$2 steps=10
  for _ in $(seq "$steps"); do
    xdotool mousemove_relative -- $((dx / steps)) $((dy / steps))
    sleep 0.03
  done
}

shot() {
  import -window "$window" "$shots/$1"
  # A failed capture or a frozen device gives a flat picture.
  local spread
  spread="$(convert "$shots/$1" -colorspace Gray -format '%[fx:standard_deviation]' info:)"
  if awk -v s="$spread" 'BEGIN { exit !(s < 0.01) }'; then
    echo "tour.sh: $1 is a flat picture" >&2
    exit 1
  fi
  echo "saved $shots/$1"
}

# A page's GIF stays small: half size, 64 colours, only what changes between frames stored.
readonly gif_seconds=2 gif_limit_bytes=$((1536 * 1024))
animation() {
  [ "$animate" -eq 1 ] || return 0
  local frames start elapsed count delay bytes
  frames="$(mktemp -d)"
  start=$(date +%s%N)
  count=0
  while [ $(($(date +%s%N) - start)) -lt $((gif_seconds * 1000000000)) ]; do
    # PPM: no compression while capturing, so the frames come close together.
    import -window "$window" "$frames/$(printf '%04d' "$count").ppm"
    count=$((count + 1))
  done
  elapsed=$(($(date +%s%N) - start))
  # Frames come as fast as the capture allows: show each for its share of the time it covered.
  delay=$((elapsed / count / 10000000))
  [ "$delay" -ge 2 ] || delay=2
  convert -delay "$delay" -loop 0 "$frames"/*.ppm -resize 50% -dither None -colors 64 -layers Optimize "$shots/$1"
  rm -rf "$frames"
  bytes=$(stat -c %s "$shots/$1")
  if [ "$bytes" -gt "$gif_limit_bytes" ]; then
    echo "tour.sh: $1 is $bytes bytes, over $gif_limit_bytes" >&2
    exit 1
  fi
  echo "saved $shots/$1 ($count frames, $bytes bytes)"
}

press F1
move 60 100
sleep 3
shot fire.png
animation fire.gif

# The skull starts facing the camera and turns one radian a second of frame time, counted from the
# switch however long loading takes: a full turn later it faces the camera again.
move 60 -150
press F2
sleep 5.9
shot mesh.png
animation mesh.gif

press F3
move -100 60
sleep 4
shot water.png
animation water.gif

press F4
move -60 30
sleep 1
shot empty.png
animation empty.gif

press Escape
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
if kill -0 "$pid" 2>/dev/null; then
  echo "tour.sh: HelloWorld still running 20 s after Escape" >&2
  show_log
  exit 1
fi
trap - EXIT
status=0
wait "$pid" || status=$?
if [ "$status" -ne 0 ]; then
  echo "tour.sh: HelloWorld exited with status $status" >&2
  show_log
  exit 1
fi
names="fire.png mesh.png water.png empty.png"
[ "$animate" -eq 0 ] || names="$names fire.gif mesh.gif water.gif empty.gif"
echo "tour finished: $names in $shots"
