#!/usr/bin/env bash
# Installs the Debian packages that are missing, then checks that every tool
# the scripts will call is really there, so a gap is named before a run
# instead of failing in the middle of it.
#   tools/setup.sh play   what building and running the player needs
#   tools/setup.sh test   that, and everything the tests need (the default)
# Run as root, or it prints the exact command that would install the rest.
set -euo pipefail

purpose=${1:-test}

# Building and running the player; Xvfb so tools/play.sh can run it where
# there is no display.
PLAY_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libsdl1.2-compat-dev libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri libx11-dev
  libpng-dev libdeflate-dev libopenmpt-dev libsndfile1-dev libsamplerate0-dev libsystemd-dev
  libcurl4-openssl-dev libmpg123-dev libvorbis-dev libogg-dev libopusfile-dev libflac-dev
  xvfb xauth
)
# The tests on top: GoogleTest and Google Benchmark; clang with its
# sanitizer runtimes for the fuzz targets, and llvm-symbolizer, without
# which the sanitizers cannot name functions (the leak suppressions match
# function names); the X tools and Python of the end-to-end tests; valgrind;
# a private message bus and a desktop media client for the desktop-control
# test; for the radio test a real streaming server with its feeder, and
# ffmpeg, which makes the stations' MP3, Ogg and AAC audio.
TEST_PACKAGES=(
  libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev llvm-14
  xdotool x11-utils x11-apps python3 valgrind
  dbus-daemon dbus-bin playerctl
  icecast2 ezstream ffmpeg
)

# Commands the scripts call, with the package each comes from.
PLAY_COMMANDS=(c++:build-essential cmake:cmake ninja:ninja-build pkg-config:pkg-config
               xvfb-run:xvfb Xvfb:xvfb xauth:xauth)
TEST_COMMANDS=(clang++:clang /usr/lib/llvm-14/bin/llvm-symbolizer:llvm-14
               xdotool:xdotool xprop:x11-utils xwininfo:x11-utils xdpyinfo:x11-utils
               xwd:x11-apps /usr/bin/python3:python3 valgrind:valgrind
               dbus-daemon:dbus-daemon dbus-monitor:dbus-bin playerctl:playerctl
               icecast2:icecast2 ezstream:ezstream ffmpeg:ffmpeg)

case "$purpose" in
  play) packages=("${PLAY_PACKAGES[@]}"); commands=("${PLAY_COMMANDS[@]}") ;;
  test) packages=("${PLAY_PACKAGES[@]}" "${TEST_PACKAGES[@]}")
        commands=("${PLAY_COMMANDS[@]}" "${TEST_COMMANDS[@]}") ;;
  *) echo "usage: tools/setup.sh [play|test]" >&2; exit 2 ;;
esac

# A fresh machine often runs its own apt job at boot, or a second set-up runs
# beside this one: wait up to ten minutes for apt's locks instead of failing.
apt_waiting() {
  local log try
  log=$(mktemp)
  for try in $(seq 120); do
    if apt-get -o DPkg::Lock::Timeout=5 "$@" 2>"$log"; then
      rm -f "$log"; return 0
    fi
    grep -q 'Could not get lock' "$log" || break
    [ "$try" -eq 1 ] && echo "tessellune: waiting for another apt job to finish" >&2
    sleep 5
  done
  cat "$log" >&2; rm -f "$log"; return 1
}

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  install=(apt-get install -y -qq --no-install-recommends "${missing[@]}")
  if [ "$(id -u)" -ne 0 ]; then
    echo "tessellune: missing Debian packages: ${missing[*]}" >&2
    echo "tessellune: install them as root with:" >&2
    echo "  echo 'icecast2 icecast2/icecast-setup boolean false' | debconf-set-selections" >&2
    echo "  apt-get update -qq && DEBIAN_FRONTEND=noninteractive ${install[*]}" >&2
    exit 1
  fi
  echo "tessellune: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # icecast2 asks whether to set up its system-wide server; the tests run
  # their own with a configuration of their own, so the answer is no, given
  # beforehand so that no question waits for a person.
  echo "icecast2 icecast2/icecast-setup boolean false" | debconf-set-selections
  apt_waiting update -qq
  apt_waiting "${install[@]:1}"
fi

# A package can be installed and still not give what is called: a diverted
# or removed file, a tool that moved between releases.
absent=()
for entry in "${commands[@]}"; do
  command=${entry%%:*}
  if ! command -v "$command" >/dev/null 2>&1; then
    absent+=("$command (package ${entry#*:})")
  fi
done
if [ "$purpose" = test ] && ! /usr/bin/python3 -c 'import wave, struct, zlib, threading' 2>/dev/null; then
  absent+=("the Python modules wave, struct, zlib, threading (package python3)")
fi
if [ ${#absent[@]} -gt 0 ]; then
  printf 'tessellune: not found although its package is installed: %s\n' "${absent[@]}" >&2
  exit 1
fi
