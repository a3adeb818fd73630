#!/usr/bin/env bash
# Installs the Debian packages the build, the player and the tests need, and
# nothing that is already there. Run as root, or it names what is missing.
set -euo pipefail

PACKAGES=(
  # build
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  # libraries
  libsdl1.2-compat-dev libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri libx11-dev
  libpng-dev libopenmpt-dev libsndfile1-dev libsamplerate0-dev
  # tests and benchmarks
  libgtest-dev libbenchmark-dev xvfb xauth xdotool x11-utils x11-apps
  python3 python3-numpy python3-scipy valgrind
)

missing=()
for package in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "tessellune: missing Debian packages: ${missing[*]}" >&2
  echo "tessellune: install them as root: apt-get install ${missing[*]}" >&2
  exit 1
fi

echo "tessellune: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
