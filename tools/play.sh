#!/usr/bin/env bash
# Set-up, build, and the player on the bundled playlist. Arguments go to the
# player. Installs only what building and running the player needs.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh play
tools/build.sh player
if [ -z "${DISPLAY:-}" ]; then
  echo "tessellune: no X display; running under Xvfb, where nothing is visible (Ctrl+C ends it)"
  exec xvfb-run -a -s "-screen 0 1280x1024x24" ./build/tessellune "$@"
fi
exec ./build/tessellune "$@"
