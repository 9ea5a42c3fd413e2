#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs the in-process test programs, and the tests labelled "memcheck" (the
# bundled servers under Valgrind, driven through the library), under
# Valgrind memcheck. Any memory error or definite leak fails the run.
#   scripts/memcheck.sh [build-dir]     (default: build, configured already)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}

options=(--error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite
         --show-leak-kinds=definite --child-silent-after-fork=yes --num-callers=30 -q
         --suppressions="$PWD/scripts/valgrind.supp")
mkdir -p "$dir/memcheck"
logs=$(cd "$dir/memcheck" && pwd)
failed=()
while IFS= read -r program; do
  [ -n "$program" ] || continue
  name=$(basename "$program")
  log="$logs/$name.log"
  # Run from the program's folder: some tests look for files beside themselves.
  if (cd "$(dirname "$program")" && valgrind "${options[@]}" --log-file="$logs/$name.vg" \
        "$program" --gtest_brief=1) >"$log" 2>&1; then
    echo "  $name: clean"
  else
    echo "  $name: FAILED; see $log and $logs/$name.vg"
    tail -n 40 "$logs/$name.vg" "$log" | sed 's/^/    /'
    failed+=("$name")
  fi
done <"$dir/memcheck-programs.txt"

ctest --test-dir "$dir" --output-on-failure -L memcheck --no-tests=ignore || failed+=(memcheck-tests)

if [ ${#failed[@]} -gt 0 ]; then
  echo "memcheck failed: ${failed[*]}" >&2
  exit 1
fi
