#!/usr/bin/env bash
# The real player clicked at random for a while, under AddressSanitizer,
# UndefinedBehaviorSanitizer and LeakSanitizer, on twenty short songs in every
# format (made at run time), with SDL's disk audio driver writing to /dev/null.
#   tools/soak.sh [--short | --long | --minutes N] [--seed S]
# --short (the default, what CI runs): 2 minutes; --long: 20 minutes.
# Fails unless the player is alive at the end, ends with status 0 on a close
# request, prints no sanitizer report, and its resident memory after the
# first minute grows by less than 2 MB over the rest of the run (medians of
# 30-second windows: 60-90 s against the last 30 s).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

minutes=2
seed=()
while [ $# -gt 0 ]; do
  case "$1" in
    --short) minutes=2 ;;
    --long) minutes=20 ;;
    --minutes) minutes=${2:?--minutes needs a number}; shift ;;
    --seed) seed=(--seed "${2:?--seed needs a number}"); shift ;;
    *) echo "usage: tools/soak.sh [--short | --long | --minutes N] [--seed S]" >&2; exit 2 ;;
  esac
  shift
done

tools/build.sh asan >/dev/null

# Resident memory under ASan says little unless two of its habits are
# tamed. It keeps freed blocks in a quarantine (256 MB by default) to catch
# late uses; filling it would look like growth for the first minutes. A 4 MB
# quarantine still catches a use soon after the free. And every few seconds
# it hands the free pages of its size classes back to the system, to take
# them again moments later: resident memory then swings by 20 MB with no
# change in what is allocated. With that release off, resident memory is
# the high-water mark of what was in use, which a leak keeps raising.
# intercept_tls_get_addr=0 as in tools/test.sh.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:quarantine_size_mb=4:allocator_release_to_os_interval_ms=-1:intercept_tls_get_addr=0"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TESSELLUNE_BUILD_DIR="$root/build-asan"
exec tools/with-xvfb.sh /usr/bin/python3 tools/soak.py --minutes "$minutes" "${seed[@]}"
