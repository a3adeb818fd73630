#!/usr/bin/env bash
# Runs a command with an X display: the current one when it answers, else a
# private Xvfb (24-bit, large enough for a 1280 x 1024 window). Xvfb picks a
# free display number itself (-displayfd), so several runs side by side never
# share a server by accident.
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi

numberfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$numberfile" 2>/dev/null &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -f "$numberfile"' EXIT
for _ in $(seq 100); do
  [ -s "$numberfile" ] && break
  kill -0 "$server" 2>/dev/null || { echo "with-xvfb: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$numberfile" ] || { echo "with-xvfb: Xvfb gave no display number" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$numberfile")"
status=0
"$@" || status=$?
exit $status
