#!/usr/bin/env bash
# Configures (once) and builds one tree incrementally.
#   scripts/build.sh [tree] [extra cmake args...]   tree: build (default), build-asan, build-tsan
set -euo pipefail
cd "$(dirname "$0")/.."
tree=${1:-build}
shift || true
args=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
case "$tree" in
  build) ;;
  build-asan) args+=(-DKVT3_SANITIZE=address -DKVT3_WITH_QT=OFF -DCMAKE_BUILD_TYPE=Debug) ;;
  build-tsan) args+=(-DKVT3_SANITIZE=thread -DKVT3_WITH_QT=OFF -DCMAKE_BUILD_TYPE=Debug) ;;
  *) echo "unknown tree $tree" >&2; exit 2 ;;
esac
if [ ! -f "$tree/build.ninja" ]; then
  cmake -S . -B "$tree" "${args[@]}" "$@" >/dev/null
fi
cmake --build "$tree" -j"$(nproc)"
