#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Configures and builds one flavour of the project.
#   scripts/build.sh <build-dir> [extra cmake arguments...]
# JRC_BUILD_TARGET, when set, builds that target instead of everything.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1; shift
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" "${generator[@]}" "$@" >/dev/null
else
  cmake -S . -B "$dir" "$@" >/dev/null
fi
cmake --build "$dir" --parallel "$(nproc)" ${JRC_BUILD_TARGET:+--target "$JRC_BUILD_TARGET"}
