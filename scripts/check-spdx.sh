#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Fails when a tracked source, build or script file lacks its licence line
# (an SPDX identifier within its first five lines). Data files (GSDML
# samples, fuzz seeds, JSON, Markdown, images) carry none.
set -euo pipefail
cd "$(dirname "$0")/.."
missing=()
while IFS= read -r file; do
  head -n 5 "$file" | grep -q 'SPDX-License-Identifier: Apache-2.0' || missing+=("$file")
done < <(git ls-files -- src include servers tools tests bench fuzz examples cmake scripts .ci \
           CMakeLists.txt | grep -Ev '/corpus/|\.(json|md|png|xml)$')
if [ ${#missing[@]} -gt 0 ]; then
  printf 'no SPDX licence line: %s\n' "${missing[@]}" >&2
  exit 1
fi
