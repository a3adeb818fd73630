#!/usr/bin/env bash
# Runs a command with an X display: the current one when it answers, else a
# private Xvfb (24-bit, large enough for a 1280 x 1024 window).
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1600x1200x24 -nolisten tcp" "$@"
