#!/usr/bin/env bash
# A short session of the real player (release build) under valgrind memcheck:
# start, PLAY, NEXT through six songs of every format, PREV, STOP, close.
# Fails on any definite leak or invalid memory access that tests/valgrind.supp
# does not name (it names only blocks third-party libraries keep for good).
#   tools/valgrind.sh
# The full report is left in build/valgrind.log.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

tools/build.sh release >/dev/null
folder=$(mktemp -d /tmp/tessellune-valgrind-XXXXXX)
trap 'rm -rf "$folder"' EXIT
mkdir -p "$folder/data/music"
build/make_test_songs "$folder/data/music" 6 >/dev/null

log=$root/build/valgrind.log
# --keep-debuginfo: SDL unloads the OpenGL driver before the leak check, and
# the driver's frames must still be named for the suppressions to match.
valgrind=(valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite
          --errors-for-leak-kinds=definite --error-exitcode=99 --keep-debuginfo=yes
          --num-callers=40 --child-silent-after-fork=yes
          --suppressions="$root/tests/valgrind.supp" --log-file="$log")
export SDL_AUDIODRIVER=dummy
export TESSELLUNE_BUILD_DIR="$root/build"
status=0
tools/with-xvfb.sh /usr/bin/python3 tools/valgrind.py "$folder" "${valgrind[@]}" "$root/build/tessellune" \
  || status=$?

grep -E 'ERROR SUMMARY|definitely lost:|indirectly lost:|suppressed:' "$log" | sed 's/^==[0-9]*== */valgrind: /'
if [ "$status" -ne 0 ]; then
  echo "valgrind: FAILED (status $status); the errors from $log:" >&2
  # Each error is a block of lines that ends with an empty "==pid== " line.
  awk '/lost in loss record|Invalid |uninitialised|Conditional jump|Mismatched|overlap|Syscall param/ {on=1}
       on {print} /^==[0-9]+== $/ {on=0}' "$log" >&2
  exit 1
fi
echo "valgrind: passed"
