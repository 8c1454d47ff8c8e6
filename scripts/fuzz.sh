#!/usr/bin/env bash
# Builds the fuzz targets (clang's libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer,
# in build-fuzz) and runs each in turn over its seed corpus fuzz/corpus/<target> and the inputs it
# found before (build-fuzz/corpus/<target>). A target stops at its first finding; the input is kept
# in build-fuzz/findings/, to go into fuzz/corpus/<target>/ as a regression case with its fix;
# each run's output is in build-fuzz/fuzz-logs/<target>.log.
#   scripts/fuzz.sh [seconds per target, default 60] [target...]   (default: every target, all built)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
tree=build-fuzz

if [ ! -f "$tree/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKVT3_SANITIZE=fuzzer -DKVT3_WITH_QT=OFF >/dev/null
fi
targets=("$@")
if ((${#targets[@]} == 0)); then
  cmake --build "$tree" --target fuzzers -j"$(nproc)"
  for source in fuzz/*.cpp; do targets+=("$(basename "$source" .cpp)"); done
else
  # Only the targets asked for: the tree is shared, and building every target takes long.
  cmake --build "$tree" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"
fi

mkdir -p "$tree/findings" "$tree/fuzz-logs"
failed=0
for target in "${targets[@]}"; do
  mkdir -p "$tree/corpus/$target"
  log="$tree/fuzz-logs/$target.log"
  if "$tree/bin/fuzz_$target" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
      -artifact_prefix="$tree/findings/$target-" "$tree/corpus/$target" "fuzz/corpus/$target" \
      >"$log" 2>&1; then
    outcome=ok
  else
    outcome="FINDING (see $log)"
    failed=$((failed + 1))
    grep -E 'failed|ERROR|SUMMARY|runtime error' "$log" | head -5 || true
  fi
  runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log" | tail -1)
  echo "fuzz $target: ${runs:-0} runs in ${seconds} s, $outcome"
done
echo "fuzz: ${#targets[@]} targets, $failed with findings"
[ "$failed" -eq 0 ]
