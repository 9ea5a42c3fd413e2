#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The Debian packages bench/run needs beyond the build's own
# (scripts/setup-deps.sh): gnuplot for the plot, Node.js and npm for the
# comparison pair in bench/peers.
set -euo pipefail
missing=()
command -v gnuplot >/dev/null || missing+=(gnuplot-nox)
command -v python3 >/dev/null || missing+=(python3)
# A Node.js installed some other way (with its own npm) is fine too.
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
