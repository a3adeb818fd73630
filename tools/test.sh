#!/usr/bin/env bash
# Set-up, build, and every test: what CI runs. Parts can be run alone:
#   tools/test.sh unit     GoogleTest suites, release build
#   tools/test.sh e2e      the real programs driven under Xvfb
#   tools/test.sh package  an outside project built on the engine, by add_subdirectory and installed
#   tools/test.sh asan     GoogleTest suites under ASan/UBSan/LeakSanitizer
#   tools/test.sh fuzz     every fuzz target for TESSELLUNE_FUZZ_SECONDS (default 43) each
#   tools/test.sh soak     the short soak run (about two minutes)
#   tools/test.sh valgrind a short session of the player under valgrind memcheck
# Every part runs even when an earlier one failed, so one run shows all that
# is wrong; the summary at the end names each part's result, and the status
# is non-zero when any part failed.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
all_parts=(unit e2e package asan fuzz soak valgrind)
parts=("$@")
[ ${#parts[@]} -eq 0 ] && parts=("${all_parts[@]}")
for part in "${parts[@]}"; do
  case " ${all_parts[*]} " in
    *" $part "*) ;;
    *) echo "tools/test.sh: unknown part '$part' (${all_parts[*]})" >&2; exit 2 ;;
  esac
done

# Without the packages nothing below can run at all.
tools/setup.sh test || exit 1

# intercept_tls_get_addr=0: this runtime guesses where a dynamic TLS block
# starts from its address alone, and now and then takes a size for a start;
# the leak check at exit then reads that address and dies ("Tracer caught
# signal 11") after a test has passed. Only the GL driver's libraries use
# dynamic TLS here; our own thread_local data is in the static block, which
# is still scanned.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:intercept_tls_get_addr=0"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The leak suppressions name functions; the sanitizers need the symbolizer
# to know them.
export ASAN_SYMBOLIZER_PATH=${ASAN_SYMBOLIZER_PATH:-/usr/lib/llvm-14/bin/llvm-symbolizer}

run_part() {
  set -e
  case "$1" in
    unit)
      tools/build.sh release
      tools/with-xvfb.sh ctest --test-dir build -L unit -j "$(nproc)" --output-on-failure ;;
    e2e)
      tools/build.sh release
      tools/with-xvfb.sh ctest --test-dir build -L e2e --output-on-failure ;;
    package)
      tools/build.sh release
      ctest --test-dir build -L package --output-on-failure ;;
    asan)
      tools/build.sh asan
      tools/with-xvfb.sh ctest --test-dir build-asan -L unit -j "$(nproc)" --output-on-failure ;;
    fuzz)
      tools/fuzz.sh "${TESSELLUNE_FUZZ_SECONDS:-43}" ;;
    soak)
      tools/soak.sh --short ;;
    valgrind)
      tools/valgrind.sh ;;
  esac
}

results=()
failed=0
for part in "${parts[@]}"; do
  echo "=== $part"
  start=$SECONDS
  # Not in a condition: there bash would ignore the set -e inside.
  (run_part "$part")
  if [ $? -eq 0 ]; then
    verdict=passed
  else
    verdict=FAILED
    failed=1
  fi
  results+=("$(printf '%-9s %-7s %4d s' "$part" "$verdict" $((SECONDS - start)))")
  echo "=== $part $verdict"
done

echo "=== summary"
printf '  %s\n' "${results[@]}"
if [ $failed -ne 0 ]; then
  echo "=== some parts FAILED"
  exit 1
fi
echo "=== all tests passed"
