#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the libFuzzer targets with clang (ASan+UBSan, coverage) and runs each
# one for a bounded time from its committed seeds. A crash, a sanitizer
# report, a leak or a slow input fails the run.
#   scripts/fuzz.sh [seconds-per-target]
# The time per target comes from the argument, else JRC_FUZZ_SECONDS, else
# 60; it is cut so that all targets together stay within JRC_FUZZ_BUDGET
# seconds (default 600). Failing inputs land in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."

per_target=${1:-${JRC_FUZZ_SECONDS:-60}}
budget=${JRC_FUZZ_BUDGET:-600}
dir=build-fuzz

launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake --preset fuzz "${launcher[@]}" >/dev/null
mapfile -t targets < <(grep -v '^$' "$dir/fuzzers.txt")
cmake --build "$dir" --parallel "$(nproc)" --target "${targets[@]}"

count=${#targets[@]}
if [ $((per_target * count)) -gt "$budget" ]; then
  per_target=$((budget / count))
fi
echo "fuzzing ${count} targets for ${per_target} s each"

mkdir -p "$dir/artifacts" "$dir/logs"
failed=()
for target in "${targets[@]}"; do
  seeds="fuzz/corpus/$target"
  work="$dir/corpus/$target"
  mkdir -p "$work"
  log="$dir/logs/$target.log"
  # -timeout: one input may take 10 s at most; the outer timeout catches a
  # driver that stops making progress altogether. Inputs may grow to 4 KiB
  # or to the largest seed, whichever is more.
  status=0
  timeout --kill-after=10 $((per_target + 60)) \
    "$dir/bin/$target" -max_total_time="$per_target" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$dir/artifacts/$target-" \
      "$work" "$seeds" >"$log" 2>&1 || status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  if [ "$status" -eq 0 ]; then
    echo "  $target: ok, $runs runs"
  else
    echo "  $target: FAILED (exit $status); last lines of $log:"
    grep -v '^INFO:' "$log" | tail -n 30 | sed 's/^/    /'
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing failed: ${failed[*]}" >&2
  exit 1
fi
