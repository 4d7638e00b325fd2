#!/usr/bin/env bash
# Builds the fuzz tree (clang 14, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs the fuzz targets one after another, each for a number of executions, at the
# lowest priority. Prints executions, coverage (libFuzzer's cov and ft at the end) and
# crashes per target; an input that crashed is kept under tests/fuzz/regressions/<target>/,
# where the unit tests replay it. Prints figures and never fails on them; the exit status
# is 1 when a target crashed.
#   bash bench/fuzz.sh [runs] [target[=runs]...]     (default: 100000 runs, every target)
# For example: bash bench/fuzz.sh 10000000 jpg=1000000 gif=1000000
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
TREE=$ROOT/build/fuzz
RUNS=${1:-100000}
[ $# -gt 0 ] && shift

if ! command -v clang++-14 >/dev/null || ! ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  echo "installing clang-14 and its sanitizer and fuzzer runtime"
  { apt-get update -qq && apt-get install -y -qq --no-install-recommends clang-14 libclang-rt-14-dev; } >/dev/null 2>&1 ||
    { echo "fuzz: cannot install clang-14 libclang-rt-14-dev" >&2; exit 2; }
fi
if [ ! -f "$TREE/build.ninja" ]; then
  cmake -G Ninja -S "$ROOT" -B "$TREE" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAMOLT_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null || exit 2
fi
# One job by default: the machine is shared.
nice -n 19 ninja -C "$TREE" -j "${FUZZ_BUILD_JOBS:-1}" kamolt_fuzz >/dev/null || { echo "fuzz: build failed" >&2; exit 2; }
"$TREE/tests/fuzz/make_fuzz_seeds" "$TREE/seeds" || exit 2

declare -A ONLY=()
for pick in "$@"; do
  ONLY[${pick%%=*}]=$([[ $pick == *=* ]] && echo "${pick#*=}" || echo "$RUNS")
done
TARGETS=()
for program in "$TREE"/tests/fuzz/*_fuzz; do
  name=$(basename "$program" _fuzz)
  [ $# -eq 0 ] || [ -n "${ONLY[$name]:-}" ] && TARGETS+=("$name")
done

# Targets whose inputs need bounds of their own: a Photo CD pack is a megabyte, and only
# its first sectors decide anything but the pixels, which the kept seeds replay in full.
options_of() {
  case $1 in
    pcd) echo "-max_len=4096" ;;
    command_line | clip_arguments | scan_arguments | hand_off | drawing_list | ini) echo "-max_len=1024" ;;
    memory_transfer) echo "-max_len=2048" ;;
    *) echo "" ;;
  esac
}

figure() { grep -a "$1" "$2" | tail -n 1 | sed -E "s/.*$1 *([0-9]+).*/\\1/"; }

status=0
ROWS=()
for name in "${TARGETS[@]}"; do
  runs=${ONLY[$name]:-$RUNS}
  corpus=$TREE/corpus/$name artifacts=$TREE/artifacts/$name log=$TREE/logs/$name.log
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  rm -f "$artifacts"/*
  inputs=("$corpus" "$TREE/seeds/$name")
  for kept in "$ROOT/tests/fuzz/seeds/$name" "$ROOT/tests/fuzz/regressions/$name"; do
    [ -d "$kept" ] && inputs+=("$kept")
  done
  echo "fuzz: $name, $runs executions" >&2
  started=$(date +%s)
  # shellcheck disable=SC2046
  # The C libraries' allocations past 64 MB fail, as large ones may in a 32-bit process
  # (the targets' own operator new fails past 4 MB): the readers must refuse such
  # pictures, and the runs stay fast.
  ASAN_OPTIONS=${ASAN_OPTIONS:-allocator_may_return_null=1:max_allocation_size_mb=64} UBSAN_OPTIONS=print_stacktrace=1 \
    nice -n 19 "$TREE/tests/fuzz/${name}_fuzz" -runs="$runs" -print_final_stats=1 -timeout=30 -rss_limit_mb=3072 \
    -artifact_prefix="$artifacts/" $(options_of "$name") "${inputs[@]}" >"$log" 2>&1
  seconds=$(($(date +%s) - started))
  crashes=0
  # Crashes, leaks, running out of memory and timeouts; slow units are only slow.
  for artifact in "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/oom-* "$artifacts"/timeout-*; do
    [ -f "$artifact" ] || continue
    mkdir -p "$ROOT/tests/fuzz/regressions/$name"
    cp "$artifact" "$ROOT/tests/fuzz/regressions/$name/"
    echo "fuzz: $name kept $(basename "$artifact") in tests/fuzz/regressions/$name (log: $log)" >&2
    crashes=$((crashes + 1))
    status=1
  done
  executions=$(figure "stat::number_of_executed_units:" "$log")
  cov=$(figure "cov:" "$log")
  ft=$(figure "ft:" "$log")
  ROWS+=("$(printf '%-16s %12s %8s %7s %7s %8s' "$name" "${executions:-?}" "${seconds}s" "${cov:-?}" "${ft:-?}" "$crashes")")
done

printf '%-16s %12s %8s %7s %7s %8s\n' target executions time cov ft crashes
printf '%s\n' "${ROWS[@]}"
exit $status
