#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Configures and builds one of the builds named in CMakePresets.json
# (release, demo, asan, tsan, fuzz, mingw).
#   scripts/build.sh <preset> [extra cmake arguments...]
# The build preset of the same name says what is built; JRC_BUILD_TARGET,
# when set, builds that target instead. ccache is used when it is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$1; shift
launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake --preset "$preset" "${launcher[@]}" "$@" >/dev/null
cmake --build --preset "$preset" --parallel "$(nproc)" ${JRC_BUILD_TARGET:+--target "$JRC_BUILD_TARGET"}
