#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs every test: the normal build and its API reference, the same suite
# under AddressSanitizer with UndefinedBehaviorSanitizer, and the threaded
# tests under ThreadSanitizer, Valgrind memcheck over the in-process tests and
# the bundled servers, then the fuzz targets for a bounded time
# (JRC_FUZZ_SECONDS per target, 30 by default here). Each build is a preset of
# CMakePresets.json. Installs missing build dependencies first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh

jobs=$(nproc)

echo "== licence lines =="
scripts/check-spdx.sh

echo "== normal build =="
scripts/build.sh release
ctest --test-dir build --output-on-failure -j "$jobs" -LE memcheck

echo "== API reference (Doxygen, warnings fail) =="
cmake --build build --target docs

echo "== Valgrind memcheck =="
scripts/memcheck.sh build

echo "== ASan + UBSan =="
scripts/build.sh asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -LE 'nosanitize|memcheck'

echo "== TSan (threaded tests) =="
scripts/build.sh tsan
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp \
  ctest --test-dir build-tsan --output-on-failure -j "$jobs" -L threaded --no-tests=ignore

echo "== fuzzing =="
scripts/fuzz.sh "${JRC_FUZZ_SECONDS:-30}"

# The same suite cross-built for Windows and run under Wine. Set
# JRC_SKIP_WINDOWS=1 to leave it out while iterating on Linux.
if [ "${JRC_SKIP_WINDOWS:-0}" != 1 ]; then
  echo "== Windows (MinGW-w64 + Wine) =="
  scripts/test-windows.sh build-mingw
fi
