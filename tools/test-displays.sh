# Sourced by tools/run-tests.sh: starts COUNT Xvfb servers, one per display test that may run at a
# time, and writes the CTest resource file that hands them out. The servers are stopped at exit.
# start_test_displays COUNT RESOURCE_FILE
start_test_displays() {
  local count="$1" resource_file="$2" ids=() folder number
  test_display_pids=()
  test_display_folder="$(mktemp -d)"
  trap 'kill "${test_display_pids[@]}" 2>/dev/null || true; rm -rf "$test_display_folder"' EXIT
  for server in $(seq "$count"); do
    folder="$test_display_folder/$server"
    mkdir "$folder"
    # The server picks a free display number and writes it, with a newline, once it listens.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$folder/number" >"$folder/log" 2>&1 &
    test_display_pids+=($!)
    for _ in $(seq 300); do
      grep -q . "$folder/number" 2>/dev/null && [ "$(tail -c1 "$folder/number" | od -An -c | tr -d ' ')" = '\n' ] && break
      kill -0 "${test_display_pids[-1]}" 2>/dev/null || break
      sleep 0.1
    done
    number="$(tr -dc 0-9 <"$folder/number")"
    if [ -z "$number" ]; then
      echo "Xvfb did not start:" >&2
      cat "$folder/log" >&2
      return 1
    fi
    ids+=("$number")
  done
  export DISPLAY=":${ids[0]}"
  local entries
  entries="$(printf '{"id":"%s","slots":1},' "${ids[@]}")"
  printf '{"version":{"major":1,"minor":0},"local":[{"x_display":[%s]}]}\n' "${entries%,}" >"$resource_file"
  echo "X displays for the tests: ${ids[*]/#/:}"
}
