# Shared by the run-*-fuzz.sh scripts (sourced): building a libFuzzer target with clang
# (AddressSanitizer + UndefinedBehaviorSanitizer) and a bounded run that fails on any fault.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
out="$root/build/fuzz"
"$root/tools/install-deps.sh" fuzz
mkdir -p "$out"

# object_is_current OBJECT: the object is newer than its source and every header it read.
object_is_current() {
  local object="$1" dependency
  [ -f "$object" ] && [ -f "$object.d" ] || return 1
  for dependency in $(sed -e 's/^[^:]*://' -e 's/\\$//' "$object.d"); do
    [ "$object" -nt "$dependency" ] || return 1
  done
}

# fuzz_build NAME SOURCES... [FLAGS...] [LIBS...]: build/fuzz/NAME from the given sources. Each
# source is compiled into build/fuzz/objects/ (one folder per set of flags), on every core, and again
# only when it or a header it reads has changed.
fuzz_build() {
  local name="$1"
  shift
  local sources=() flags=() libs=() arg
  for arg in "$@"; do
    case "$arg" in
      *.cpp) sources+=("$arg") ;;
      -l* | -Wl,*) libs+=("$arg") ;;
      *) flags+=("$arg") ;;
    esac
  done
  local compile=(clang++ -std=c++17 -g -O1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                 -I"$root" -I"$root/platform/linux/include" "${flags[@]}")
  local objects="$out/objects/$(printf '%s\n' "${compile[@]}" | md5sum | cut -c1-12)"
  local source object pids=() built=()
  for source in "${sources[@]}"; do
    object="$objects/${source#"$root"/}.o"
    built+=("$object")
    object_is_current "$object" && continue
    mkdir -p "$(dirname "$object")"
    while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n; done
    "${compile[@]}" -MMD -MF "$object.d" -c "$source" -o "$object" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid"; done
  clang++ -fsanitize=fuzzer,address,undefined "${built[@]}" "${libs[@]}" -o "$out/$name"
  mkdir -p "$out/$name-corpus"
}

# seed_demo_assets CORPUS NAMES...: the demo's generated assets of those names, from any build that
# made them, as seeds.
seed_demo_assets() {
  local corpus="$1"
  shift
  local name
  for name in "$@"; do
    find "$root/build" -path "*/demo/$name" -exec cp {} "$corpus/" \; 2>/dev/null || true
  done
}

# fuzz_run NAME SECONDS MAX_LEN [LIBFUZZER OPTIONS...]: runs over build/fuzz/NAME-corpus; fails
# when the fuzzer reports a fault or did not finish.
fuzz_run() {
  local name="$1" seconds="$2" max_len="$3"
  shift 3
  "$out/$name" "$@" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=4096 \
    -print_final_stats=1 "$out/$name-corpus" 2>&1 | tee "$out/$name.log" |
    grep -E "stat::number_of_executed_units|ERROR|SUMMARY|Done" || true
  if grep -q "ERROR: " "$out/$name.log"; then
    echo "fuzzer found a fault"
    return 1
  fi
  grep -q "stat::number_of_executed_units" "$out/$name.log" || { echo "fuzzer did not finish"; return 1; }
}
