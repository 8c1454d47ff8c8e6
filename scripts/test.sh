#!/usr/bin/env bash
# Runs every test: the whole suite (offscreen, virtual time, plus the end-to-end tests on
# pseudo-terminals), then the serial, link and simulator tests again under
# AddressSanitizer+UndefinedBehaviorSanitizer and under ThreadSanitizer, then each fuzz target for
# a few seconds over its corpus (which holds every input that once found a fault).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
# Qt keeps its runtime files in a private directory (mode 0700, as mktemp -d makes it) and warns
# at every program start when it has none, as under root or in CI: the tests get one of their own.
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
status=0
log=$(mktemp)
trap 'rm -rf "$log" "$XDG_RUNTIME_DIR"' EXIT

echo "== build and test: main tree"
bash scripts/build.sh build
(cd build && ctest --output-on-failure -j2 --timeout 300) | tee -a "$log" || status=1

echo "== build and test: address + undefined sanitizers"
bash scripts/build.sh build-asan
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j2 --timeout 600) | tee -a "$log" || status=1

echo "== build and test: thread sanitizer"
bash scripts/build.sh build-tsan
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --output-on-failure -j2 --timeout 900) | tee -a "$log" || status=1

echo "== fuzz targets: a few seconds each"
bash scripts/fuzz.sh 4 | tee -a "$log" || status=1

# The fuzz targets' line has just been printed, last of their run; then one closing line over the
# three runs: ctest's "N tests failed out of M", added up.
grep -qE '^fuzz: [0-9]+ targets' "$log" || echo "fuzz: not run to the end"
read -r failed total < <(sed -nE 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1 \2/p' "$log" |
  awk '{f += $1; t += $2} END {print f + 0, t + 0}')
[ "$total" -gt 0 ] || status=1
echo "tests: $((total - failed)) passed, $failed failed"
exit "$status"
