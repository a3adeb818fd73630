#!/usr/bin/env bash
# Builds and runs the outside project (tests/package/outside) against this
# tree two ways:
#   1. as a subdirectory: the outside project adds the source tree with
#      add_subdirectory and builds only what its own program needs;
#   2. installed: BUILD_DIR (an already built tree) is installed into a
#      temporary prefix, and a clean configure finds it with find_package;
#   3. the minimal production of README.md, taken from the README as it
#      stands, built against that install and captured under Xvfb.
# usage: tests/package/run.sh BUILD_DIR
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=$(cd "${1:?usage: tests/package/run.sh BUILD_DIR}" && pwd)
outside=$source_dir/tests/package/outside
work=$(mktemp -d /tmp/tessellune-package-XXXXXX)
trap 'rm -rf "$work"' EXIT
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)

step() { echo "=== package: $*"; }
quietly() {
  local log=$work/step.log
  "$@" >"$log" 2>&1 || { cat "$log" >&2; echo "package: failed: $*" >&2; return 1; }
}

step "as a subdirectory of $source_dir"
quietly cmake -S "$outside" -B "$work/subdirectory" "${generator[@]}" -DTESSELLUNE_SOURCE="$source_dir"
quietly cmake --build "$work/subdirectory" --target outside -j 2
"$work/subdirectory/outside"

step "installed from $build_dir"
quietly cmake --install "$build_dir" --prefix "$work/prefix"
for file in lib*/libtessellune_engine.a include/tessellune/system/audio/sound.h \
            include/tessellune/effects/playlist.h bin/tessellune share/tessellune/data/music/playlist.pls \
            lib*/cmake/Tessellune/TesselluneConfig.cmake lib*/cmake/Tessellune/TesselluneConfigVersion.cmake; do
  compgen -G "$work/prefix/$file" >/dev/null || { echo "package: the install lacks $file" >&2; exit 1; }
done
# Nothing of the installed package may point back into the source or build tree.
if grep -rlE "$source_dir|$build_dir" "$work"/prefix/lib*/cmake; then
  echo "package: the installed package refers to the trees it was built from" >&2
  exit 1
fi
quietly cmake -S "$outside" -B "$work/installed" "${generator[@]}" -DCMAKE_PREFIX_PATH="$work/prefix"
quietly cmake --build "$work/installed" -j 2
"$work/installed/outside"

step "the README's minimal production, captured"
minimal=$work/minimal
mkdir -p "$minimal"
for file in CMakeLists.txt main.cpp; do
  awk -v marker="<!-- minimal production: $file -->" \
    '$0 == marker { found = 1; next } found && /^```/ { if (inside) exit; inside = 1; next } inside' \
    "$source_dir/README.md" >"$minimal/$file"
  [ -s "$minimal/$file" ] || { echo "package: README.md shows no minimal production's $file" >&2; exit 1; }
done
quietly cmake -S "$minimal" -B "$minimal/build" "${generator[@]}" -DCMAKE_PREFIX_PATH="$work/prefix"
quietly cmake --build "$minimal/build" -j 2
quietly "$source_dir/tools/with-xvfb.sh" "$minimal/build/hello" --capture "$minimal/frames" --fps 4 --resolution 320x180
frames=$(find "$minimal/frames" -name '*.png' | wc -l)
wav=$(stat -c %s "$minimal/frames/sound.wav")
# 8 s at 4 frames a second; 8 s of 16-bit stereo at 44.1 kHz after the 44-byte header.
[ "$frames" -eq 32 ] && [ "$wav" -eq $((44 + 8 * 44100 * 4)) ] ||
  { echo "package: the minimal production gave $frames frames and $wav bytes of sound" >&2; exit 1; }
echo "package: the README's production ($(wc -l <"$minimal/main.cpp") lines) captured: $frames frames"
