#!/usr/bin/env bash
# The production's speed figures, each the median of several runs:
#   capture of the whole production at 30 fps, 1280x720 and 640x360 (frames/s
#   and wall seconds, start-up included), and a live run at 1280x720 (median
#   and 99th-percentile frame time from --stats), plus the production's length.
#   tools/productionFigures.sh [-n RUNS] [-b BUILD_DIR] [--to m:ss]
# --to cuts every run short (a quick look; the figures then cover a part).
# Runs under tools/with-xvfb.sh, so it needs no display of its own. Wall-clock
# figures mean little on a loaded machine: the load average is printed before
# and after.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=3
build=build
to=()
while [ $# -gt 0 ]; do
  case "$1" in
    -n) runs=$2; shift 2 ;;
    -b) build=$2; shift 2 ;;
    --to) to=(--to "$2"); shift 2 ;;
    *) echo "usage: tools/productionFigures.sh [-n RUNS] [-b BUILD_DIR] [--to m:ss]" >&2; exit 2 ;;
  esac
done
demo=$build/tessellune_demo
[ -x "$demo" ] || { echo "productionFigures: no $demo; build it first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

load() { cut -d' ' -f1-3 /proc/loadavg; }

# One capture: "frames/s wall-seconds cpu-ms-a-frame" on stdout. The CPU
# time (all threads, the renderer's included) hardly moves with the load.
captureOnce() {
  local size=$1 out
  rm -rf "$work/frames"
  local begin end
  begin=$(date +%s.%N)
  out=$(tools/with-xvfb.sh /usr/bin/time -f "cpu %U %S" -o "$work/time" \
    "$demo" --capture "$work/frames" --fps 30 --resolution "$size" "${to[@]}")
  end=$(date +%s.%N)
  local fps frames
  fps=$(sed -n 's/^capture: [0-9]* frames in [0-9.]* s (\([0-9.]*\) frames\/s).*/\1/p' <<<"$out")
  frames=$(sed -n 's/^capture: \([0-9]*\) frames in.*/\1/p' <<<"$out")
  echo "$fps $(awk -v a="$begin" -v b="$end" 'BEGIN { printf "%.1f", b - a }')" \
    "$(awk -v n="$frames" '/^cpu/ { printf "%.1f", ($2 + $3) * 1000 / n }' "$work/time")"
}

# One live run: "median p99" of the frame time in ms.
liveOnce() {
  tools/with-xvfb.sh "$demo" --resolution 1280x720 --stats "${to[@]}" |
    sed -n 's/^stats: .*frame time median \([0-9.]*\) ms, p99 \([0-9.]*\) ms.*/\1 \2/p'
}

echo "load before: $(load); ${LP_NUM_THREADS:+LP_NUM_THREADS=$LP_NUM_THREADS; }$runs runs each"
length=$(tools/with-xvfb.sh "$demo" --capture "$work/length" --fps 1 --resolution 16x9 "${to[@]}" |
  sed -n 's/.*sound.wav \([0-9]*\) stereo frames/\1/p')
rm -rf "$work/length"
echo "production length: $(awk -v f="$length" 'BEGIN { printf "%.2f", f / 44100 }') s"
for size in 1280x720 640x360; do
  : >"$work/c"
  for _ in $(seq "$runs"); do captureOnce "$size" >>"$work/c"; done
  printf 'capture %s at 30 fps: %s frames/s, %s s wall, %s ms CPU a frame (runs: %s)\n' "$size" \
    "$(cut -d' ' -f1 "$work/c" | median)" "$(cut -d' ' -f2 "$work/c" | median)" \
    "$(cut -d' ' -f3 "$work/c" | median)" \
    "$(cut -d' ' -f1 "$work/c" | tr '\n' ' ' | sed 's/ $//')"
done
: >"$work/l"
for _ in $(seq "$runs"); do liveOnce >>"$work/l"; done
printf 'live 1280x720: frame time median %s ms, p99 %s ms (runs: %s)\n' \
  "$(cut -d' ' -f1 "$work/l" | median)" "$(cut -d' ' -f2 "$work/l" | median)" \
  "$(tr '\n' ';' <"$work/l" | sed 's/;$//')"
echo "load after: $(load)"
