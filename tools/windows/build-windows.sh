#!/bin/bash
# Cross-builds vexmend.dll and its Windows test program with mingw-w64.
#
#   tools/windows/build-windows.sh [build folder]   (default: build-win)
#
# Steps, each skipped when its result is already there:
#   1. Debian packages: the cross compiler, wine, dpkg-dev, googletest sources
#   2. Poco's Debian source, Foundation only, static, into <build>/prefix
#   3. googletest from /usr/src/googletest, static, into <build>/prefix
#   4. vexmend itself into <build>/vexmend
# Set VEXMEND_WIN_JOBS to change the parallel job count (default 2).
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="$(realpath -m "${1:-$ROOT/build-win}")"
PREFIX="$BUILD/prefix"
JOBS="${VEXMEND_WIN_JOBS:-2}"
TOOLCHAIN="$ROOT/cmake/mingw-w64-x86_64.cmake"
mkdir -p "$BUILD"

step() { printf '\n=== %s (%ss)\n' "$*" "$SECONDS"; }

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# --- 1. packages -----------------------------------------------------------
step "packages"
need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64)
command -v x86_64-w64-mingw32-windres >/dev/null || need+=(binutils-mingw-w64-x86-64)
command -v x86_64-w64-mingw32-widl >/dev/null || need+=(mingw-w64-tools)
[ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null || need+=(wine64)
command -v dpkg-source >/dev/null || need+=(dpkg-dev)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
if [ ${#need[@]} -gt 0 ]; then
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

# A deb-src line for the suite the machine runs, so that apt-get source works.
have_deb_src() {
  grep -Eqs '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list ||
    grep -Eqs '^[[:space:]]*Types:.*deb-src' /etc/apt/sources.list.d/*.sources
}

# --- 2. Poco Foundation ----------------------------------------------------
if [ ! -f "$PREFIX/lib/cmake/Poco/PocoFoundationConfig.cmake" ]; then
  step "Poco Foundation"
  if ! have_deb_src; then
    . /etc/os-release
    suite="${VERSION_CODENAME:?no VERSION_CODENAME in /etc/os-release}"
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$suite" | as_root tee /etc/apt/sources.list.d/vexmend-deb-src.sources >/dev/null
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  fi
  src="$BUILD/poco-src"
  if ! ls -d "$src"/poco-*/Foundation >/dev/null 2>&1; then
    rm -rf "$src" && mkdir -p "$src"
    (cd "$src" && apt-get source -qq poco)
  fi
  pocodir="$(ls -d "$src"/poco-*/ | head -n1)"
  # Static, so that vexmend.dll carries it; its exported CMake target adds
  # POCO_STATIC and iphlpapi for consumers.
  # Foundation only; every other library and the samples and tests are off.
  off=()
  for lib in XML JSON NET NETSSL NETSSL_WIN CRYPTO JWT DATA DATA_SQLITE DATA_MYSQL \
             DATA_POSTGRESQL DATA_ODBC MONGODB REDIS PDF UTIL ZIP SEVENZIP APACHECONNECTOR \
             CPPPARSER ENCODINGS ENCODINGS_COMPILER PAGECOMPILER PAGECOMPILER_FILE2PAGE \
             POCODOC ACTIVERECORD ACTIVERECORD_COMPILER PROMETHEUS; do
    off+=("-DENABLE_$lib=OFF")
  done
  # Poco names some system headers in Windows spelling (<Winsock2.h>); the
  # mingw-w64 headers are lower case and Linux file names are not case
  # blind. Links in the prefix's include folder, which Poco's users see too,
  # bridge the difference.
  sysinc=/usr/x86_64-w64-mingw32/include
  mkdir -p "$PREFIX/include"
  grep -rhoE '#[[:space:]]*include[[:space:]]*<[^>]+>' "$pocodir/Foundation/src" "$pocodir/Foundation/include" |
    sed -E 's/.*<([^>]+)>/\1/' | sort -u | while read -r header; do
      lower="$(printf '%s' "$header" | tr '[:upper:]' '[:lower:]')"
      if [ ! -e "$sysinc/$header" ] && [ -e "$sysinc/$lower" ]; then
        mkdir -p "$(dirname "$PREFIX/include/$header")"
        ln -sf "$sysinc/$lower" "$PREFIX/include/$header"
      fi
    done
  rm -rf "$BUILD/poco-build"
  cmake -S "$pocodir" -B "$BUILD/poco-build" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DVEXMEND_WIN_PREFIX="$PREFIX" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DCMAKE_CXX_FLAGS="-I$PREFIX/include" -DCMAKE_C_FLAGS="-I$PREFIX/include" \
    -DBUILD_SHARED_LIBS=OFF -DPOCO_UNBUNDLED=OFF \
    -DCMAKE_MC_COMPILER="$(command -v x86_64-w64-mingw32-windmc)" \
    -DENABLE_TESTS=OFF -DENABLE_SAMPLES=OFF "${off[@]}" >"$BUILD/poco-configure.log"
  cmake --build "$BUILD/poco-build" -j"$JOBS" >"$BUILD/poco-build.log"
  cmake --install "$BUILD/poco-build" >"$BUILD/poco-install.log"
fi

# --- 3. googletest ---------------------------------------------------------
if [ ! -f "$PREFIX/lib/cmake/GTest/GTestConfig.cmake" ]; then
  step "googletest"
  cmake -S /usr/src/googletest -B "$BUILD/gtest-build" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DVEXMEND_WIN_PREFIX="$PREFIX" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF \
    >"$BUILD/gtest-configure.log"
  cmake --build "$BUILD/gtest-build" -j"$JOBS" >"$BUILD/gtest-build.log"
  cmake --install "$BUILD/gtest-build" >"$BUILD/gtest-install.log"
fi

# --- 4. vexmend ------------------------------------------------------------
step "vexmend"
# tests/windows brings in the top-level project (its own tests, tools and
# benchmarks off: they need POSIX and the system ffmpeg) and adds the Windows
# test program and the stand-in encoder; all land in <build>/vexmend/bin.
cmake -S "$ROOT/tests/windows" -B "$BUILD/vexmend" -G "Unix Makefiles" \
  -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DVEXMEND_WIN_PREFIX="$PREFIX" \
  -DCMAKE_BUILD_TYPE=Release >"$BUILD/vexmend-configure.log"
cmake --build "$BUILD/vexmend" -j"$JOBS"

step "done"
echo "library: $BUILD/vexmend/bin/vexmend.dll"
echo "tests:   $BUILD/vexmend/bin/vexmend_windows_tests.exe"
