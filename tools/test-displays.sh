# Sourced by tools/run-tests.sh: starts COUNT Xvfb servers, one per display test that may run at a
# time, and writes the CTest resource file that hands them out. Each server is stopped at exit.
# start_test_displays COUNT SPEC_FILE
start_test_displays() {
  local count="$1" spec="$2" ids=() fifo pid number
  test_display_pids=()
  fifo="$(mktemp -u)"
  mkfifo "$fifo"
  for _ in $(seq "$count"); do
    # The server picks a free display number and writes it on the descriptor it is given.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    pid=$!
    test_display_pids+=("$pid")
    read -r number <"$fifo" || { echo "Xvfb did not start" >&2; rm -f "$fifo"; return 1; }
    ids+=("$number")
  done
  rm -f "$fifo"
  trap 'kill "${test_display_pids[@]}" 2>/dev/null || true' EXIT
  export DISPLAY=":${ids[0]}"
  local entries
  entries="$(printf '{"id":"%s","slots":1},' "${ids[@]}")"
  printf '{"version":{"major":1,"minor":0},"local":[{"x_display":[%s]}]}\n' "${entries%,}" >"$spec"
  echo "X displays for the tests: ${ids[*]/#/:}"
}
