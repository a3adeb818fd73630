#!/usr/bin/env bash
# Set-up, build, and every test: what CI runs. Parts can be run alone:
#   tools/test.sh unit     GoogleTest suites, release build
#   tools/test.sh e2e      the real programs driven under Xvfb
#   tools/test.sh asan     GoogleTest suites under ASan/UBSan/LeakSanitizer
#   tools/test.sh fuzz     every fuzz target for TESSELLUNE_FUZZ_SECONDS (default 60) each
#   tools/test.sh soak     the short soak run (about two minutes)
#   tools/test.sh valgrind a short session of the player under valgrind memcheck
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
parts=("$@")
[ ${#parts[@]} -eq 0 ] && parts=(unit e2e asan fuzz soak valgrind)

tools/setup.sh

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

run_part() {
  case "$1" in
    unit)
      tools/build.sh release
      tools/with-xvfb.sh ctest --test-dir build -L unit -j "$(nproc)" --output-on-failure ;;
    e2e)
      tools/build.sh release
      tools/with-xvfb.sh ctest --test-dir build -L e2e --output-on-failure ;;
    asan)
      tools/build.sh asan
      tools/with-xvfb.sh ctest --test-dir build-asan -L unit -j "$(nproc)" --output-on-failure ;;
    fuzz)
      if [ -x tools/fuzz.sh ]; then tools/fuzz.sh "${TESSELLUNE_FUZZ_SECONDS:-60}"; fi ;;
    soak)
      if [ -x tools/soak.sh ]; then tools/soak.sh --short; fi ;;
    valgrind)
      tools/valgrind.sh ;;
    *) echo "tools/test.sh: unknown part '$1' (unit, e2e, asan, fuzz, soak, valgrind)" >&2; return 2 ;;
  esac
}

for part in "${parts[@]}"; do
  echo "=== $part"
  run_part "$part"
done
echo "=== all tests passed"
