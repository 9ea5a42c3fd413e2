#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Cross-builds the library, the servers and the tests for 64-bit Windows with
# MinGW-w64 and runs the test suite under Wine. Dependencies Debian ships only
# for Linux (JsonCpp, pugixml, simdjson, GoogleTest) are cross-compiled from Debian's sources into
# a prefix inside the build folder the first time and reused afterwards.
#   scripts/test-windows.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/setup-windows.sh

build=${1:-build-mingw}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
deps="$build/deps"
prefix="$deps/prefix"
toolchain="$root/cmake/toolchains/mingw-w64-x86_64.cmake"
jobs=$(nproc)
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
mkdir -p "$deps/src"

dep_cmake() { # <name> <source dir> [cmake args...]
  local name=$1 src=$2; shift 2
  cmake -S "$src" -B "$deps/build-$name" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >/dev/null
  cmake --build "$deps/build-$name" --parallel "$jobs" >/dev/null
  cmake --install "$deps/build-$name" >/dev/null
  touch "$prefix/.$name-installed"
}

if [ ! -f "$prefix/.jsoncpp-installed" ]; then
  echo "== JsonCpp for Windows =="
  (cd "$deps/src" && rm -rf libjsoncpp-* && apt-get source -qq libjsoncpp >/dev/null 2>&1)
  dep_cmake jsoncpp "$(ls -d "$deps"/src/libjsoncpp-*/ | head -n1)" \
    -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
    -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF -DJSONCPP_WITH_CMAKE_PACKAGE=ON \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF
fi

if [ ! -f "$prefix/.pugixml-installed" ]; then
  echo "== pugixml for Windows =="
  (cd "$deps/src" && rm -rf pugixml-* && apt-get source -qq pugixml >/dev/null 2>&1)
  dep_cmake pugixml "$(ls -d "$deps"/src/pugixml-*/ | head -n1)" \
    -DBUILD_SHARED_LIBS=OFF -DPUGIXML_BUILD_TESTS=OFF
fi

if [ ! -f "$prefix/.simdjson-installed" ]; then
  echo "== simdjson for Windows =="
  (cd "$deps/src" && rm -rf simdjson-* && apt-get source -qq simdjson >/dev/null 2>&1)
  dep_cmake simdjson "$(ls -d "$deps"/src/simdjson-*/ | head -n1)" \
    -DBUILD_SHARED_LIBS=OFF -DSIMDJSON_DEVELOPER_MODE=OFF -DSIMDJSON_ENABLE_THREADS=ON
fi

if [ ! -f "$prefix/.googletest-installed" ]; then
  echo "== GoogleTest for Windows =="
  dep_cmake googletest /usr/src/googletest -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
fi

echo "== MinGW build =="
launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake --preset mingw -B "$build" "${launcher[@]}" -DJRC_WINDOWS_DEPS_PREFIX="$prefix" \
  -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$build" --parallel "$jobs"

# Wine keeps its state in a prefix, which must be an absolute path owned by the
# user. Its server is started persistently before CTest: otherwise Wine's
# background processes inherit CTest's output pipes and every test waits for
# them to go away.
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -k >/dev/null 2>&1 || true
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wineboot -i >/dev/null 2>&1

echo "== Windows tests under Wine (ANSI code page 1252) =="
ctest --test-dir "$build" --output-on-failure -j "$jobs"

# The narrow-text conversions depend on the ANSI code page; run them again
# under a double-byte one. Wine derives the code page from the locale.
echo "== Windows text conversion tests under Wine (ANSI code page 936) =="
LC_ALL=zh_CN.GBK ctest --test-dir "$build" --output-on-failure -j "$jobs" -L codepage --no-tests=ignore
