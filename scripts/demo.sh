#!/usr/bin/env bash
# The library's main job: builds the project and runs `pnctl demo`.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh >/dev/null
scripts/build.sh build >/dev/null
if [ -x build/bin/pnctl ]; then
  exec build/bin/pnctl demo "$@"
fi
# Until the tool's pieces are all built, fall back to the older demonstration.
exec build/bin/jrc-demo "$@"
