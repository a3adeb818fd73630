#!/usr/bin/env bash
# Configures and builds one configuration.
#   tools/build.sh            release build with tests and benchmarks in build/
#   tools/build.sh player     the same folder, only the programs (no test libraries needed)
#   tools/build.sh asan       AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/
#   tools/build.sh fuzz       libFuzzer targets (clang) in build-fuzz/
# The options are passed on every run, so switching between release and
# player in build/ reconfigures instead of keeping the last choice.
set -euo pipefail
cd "$(dirname "$0")/.."

kind=${1:-release}
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
case "$kind" in
  release) dir=build; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSELLUNE_TESTS=ON -DTESSELLUNE_BENCH=ON) ;;
  player) dir=build; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSELLUNE_TESTS=OFF -DTESSELLUNE_BENCH=OFF) ;;
  asan) dir=build-asan; flags=(-DCMAKE_BUILD_TYPE=Debug -DTESSELLUNE_SANITIZE=ON -DTESSELLUNE_TESTS=ON
                               -DTESSELLUNE_BENCH=OFF) ;;
  fuzz) dir=build-fuzz; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSELLUNE_FUZZ=ON
                               -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  *) echo "usage: tools/build.sh [release|player|asan|fuzz]" >&2; exit 2 ;;
esac

if [ -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" "${flags[@]}" >/dev/null
else
  cmake -S . -B "$dir" "${generator[@]}" "${flags[@]}" >/dev/null
fi
cmake --build "$dir" -j "$(nproc)"
