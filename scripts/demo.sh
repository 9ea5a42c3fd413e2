#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The library's main job: installs what the demonstration needs, builds only
# the library, the configuration server and pnctl, and runs `pnctl demo`.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh demo >/dev/null
scripts/build.sh demo >/dev/null
exec build/bin/pnctl demo "$@"
