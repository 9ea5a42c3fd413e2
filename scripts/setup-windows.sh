#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs what the Windows cross build needs: the MinGW-w64 compilers (posix
# threads), Wine to run the result, and the sources of the dependencies that
# Debian ships only for Linux (JsonCpp, pugixml, simdjson, GoogleTest), which
# scripts/test-windows.sh then cross-compiles. Safe to run again.
set -euo pipefail

packages=(g++-mingw-w64-x86-64-posix wine wine64 googletest dpkg-dev cmake ninja-build)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# `apt-get source` needs deb-src entries. Mirror the machine's Debian binary
# sources (deb822 .sources files or one-line sources.list) as source entries.
src_list=/etc/apt/sources.list.d/jrc-debian-src.sources
need_update=0
if [ ! -f "$src_list" ] && ! grep -rqs '^\(Types:.*deb-src\|deb-src \)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  tmp=$(mktemp)
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    grep -q 'debian' "$f" || continue
    sed -e 's/^Types:.*/Types: deb-src/' "$f" >>"$tmp"
    echo >>"$tmp"
  done
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb .*debian' /etc/apt/sources.list | while read -r _ rest; do
      # one-line form: "deb [opts] URI suite components..."
      uri=$(echo "$rest" | sed -e 's/^\[[^]]*\] *//' | awk '{print $1}')
      suite=$(echo "$rest" | sed -e 's/^\[[^]]*\] *//' | awk '{print $2}')
      comps=$(echo "$rest" | sed -e 's/^\[[^]]*\] *//' | cut -d' ' -f3-)
      printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n\n' "$uri" "$suite" "$comps" >>"$tmp"
    done
  fi
  if [ -s "$tmp" ]; then
    "${sudo_cmd[@]}" install -m 644 "$tmp" "$src_list"
    need_update=1
  fi
  rm -f "$tmp"
fi

if [ ${#missing[@]} -gt 0 ] || [ "$need_update" = 1 ]; then
  "${sudo_cmd[@]}" apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
