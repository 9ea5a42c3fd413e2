#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The library's main job: builds the project and runs `pnctl demo`.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh >/dev/null
scripts/build.sh build >/dev/null
exec build/bin/pnctl demo "$@"
