#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs the Debian packages the project builds and tests with, and creates
# the legacy locales the text-conversion tests run under. Safe to run again:
# it installs only what is missing.
#   scripts/setup-deps.sh [demo|test]     (default: test)
# "demo" is what `pnctl demo` needs: the compiler, CMake and the libraries of
# the library, the configuration server and the tool. "test" adds the test
# and benchmark libraries, Clang (fuzzing), Valgrind, Doxygen and the locales.
set -euo pipefail

set_name=${1:-test}
packages=(
  cmake g++ ninja-build
  libjsoncpp-dev libpugixml-dev libsimdjson-dev libssl-dev libcli11-dev
)
case "$set_name" in
  demo) ;;
  test)
    packages+=(
      make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
      locales procps
      clang libclang-rt-dev valgrind doxygen
    )
    ;;
  *) echo "usage: scripts/setup-deps.sh [demo|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ "$set_name" = demo ]; then exit 0; fi

# Legacy narrow code pages for the conversion tests: one single-byte
# (CP1252, ISO-8859-15) and one double-byte (GBK).
have_locale() { locale -a 2>/dev/null | grep -qix "$1"; }
make_locale() { # <name> <input> <charmap>
  local name=$1
  if ! have_locale "$name" && ! have_locale "${name//-/}"; then
    # localedef exits non-zero for mere warnings, so judge by the result.
    "${sudo_cmd[@]}" localedef -i "$2" -f "$3" "$name" 2>/dev/null || true
    have_locale "$name" || have_locale "${name//-/}" || echo "warning: could not create locale $name" >&2
  fi
}
make_locale en_US.CP1252 en_US CP1252
make_locale en_US.ISO-8859-15 en_US ISO-8859-15
make_locale zh_CN.GBK zh_CN GBK
make_locale en_US.UTF-8 en_US UTF-8
