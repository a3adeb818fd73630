#!/usr/bin/env bash
# Runs every libFuzzer target for a bounded time and reports the executions.
#   tools/fuzz.sh [seconds-per-target] [target...]
# Seeds: fuzz/corpus/<target>/ (kept in the repository) plus the folders
# listed in fuzz/<target>.seeds that exist on this machine. New inputs go to
# build-fuzz/corpus/<target>/, crashes to build-fuzz/crashes/<target>/; a
# crash fails the run, and its input becomes a named regression test.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
tools/build.sh fuzz >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in fuzz/*.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
# The leak suppressions name functions, which needs the symbolizer.
export ASAN_SYMBOLIZER_PATH=${ASAN_SYMBOLIZER_PATH:-/usr/lib/llvm-14/bin/llvm-symbolizer}
export LSAN_OPTIONS="suppressions=$(pwd)/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=0
summary=()
for target in "${targets[@]}"; do
  binary=build-fuzz/fuzz_$target
  work=build-fuzz/corpus/$target
  crashes=build-fuzz/crashes/$target
  mkdir -p "$work" "$crashes"
  seeds=()
  [ -d "fuzz/corpus/$target" ] && seeds+=("fuzz/corpus/$target")
  if [ -f "fuzz/$target.seeds" ]; then
    while read -r dir; do
      [ -n "$dir" ] && [ "${dir#\#}" = "$dir" ] && [ -d "$dir" ] && seeds+=("$dir")
    done < "fuzz/$target.seeds"
  fi
  log=build-fuzz/$target.log
  status=0
  "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=1048576 \
    -artifact_prefix="$crashes/" -print_final_stats=1 "$work" "${seeds[@]}" >"$log" 2>&1 || status=$?
  runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}' | tail -n1)
  summary+=("$(printf '%-22s %10s executions in %ss' "$target" "${runs:-?}" "$seconds")")
  if [ $status -ne 0 ]; then
    echo "fuzz: $target failed (status $status); see $log and $crashes/" >&2
    tail -n 40 "$log" >&2
    failed=1
  fi
done
printf '%s\n' "${summary[@]}"
exit $failed
