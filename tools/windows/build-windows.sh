#!/bin/bash
# Cross-builds vexmend.dll, the host program vexmend.exe and the Windows test
# program with mingw-w64.
#
#   tools/windows/build-windows.sh [build folder]   (default: build-win)
#
# Steps, each skipped when its result is already in the cache (common.sh):
#   1. Debian packages: the cross compiler, wine, dpkg-dev, googletest sources
#   2. Poco's Debian source, Foundation and XML (with its bundled expat),
#      static, and googletest, static
#   3. ffmpeg.exe from Debian's source (build-ffmpeg.sh)
#   4. vexmend itself into <build>/vexmend; <build>/vexmend/host then holds
#      vexmend.exe, vexmend.dll and ffmpeg.exe
# Set VEXMEND_WIN_JOBS to change the parallel job count (default 2).
set -euo pipefail
. "$(dirname "$0")/common.sh"
BUILD="$(realpath -m "${1:-$ROOT/build-win}")"
mkdir -p "$BUILD"

# --- 1. packages -----------------------------------------------------------
step "packages"
need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64)
command -v x86_64-w64-mingw32-windres >/dev/null || need+=(binutils-mingw-w64-x86-64)
command -v x86_64-w64-mingw32-widl >/dev/null || need+=(mingw-w64-tools)
[ -x "$WINE" ] || need+=(wine64)
command -v dpkg-source >/dev/null || need+=(dpkg-dev)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
[ ${#need[@]} -eq 0 ] || apt_install "${need[@]}"
ensure_deb_src

# --- 2. Poco Foundation and XML, googletest --------------------------------
poco="$(source_version poco)"
gtest="$(dpkg-query -W -f='${Version}' googletest)"
PREFIX="$CACHE/win64-poco-xml-$poco-gtest-$gtest-gcc$(x86_64-w64-mingw32-g++-posix -dumpversion)"
if [ ! -d "$PREFIX" ]; then
  step "Poco Foundation and XML $poco, googletest $gtest"
  part="$PREFIX.part"
  rm -rf "$part" && mkdir -p "$part/include"
  fetch_source "$BUILD/poco-src" poco
  pocodir="$(ls -d "$BUILD"/poco-src/poco-*/)"
  # Static, so that vexmend.dll carries it; its exported CMake target adds
  # POCO_STATIC and iphlpapi for consumers.
  # Foundation and XML (the host reads clip sidecars) only; every other
  # library and the samples and tests are off.
  off=()
  for lib in JSON NET NETSSL NETSSL_WIN CRYPTO JWT DATA DATA_SQLITE DATA_MYSQL \
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
  grep -rhoE '#[[:space:]]*include[[:space:]]*<[^>]+>' "$pocodir"/{Foundation,XML}/{src,include} |
    sed -E 's/.*<([^>]+)>/\1/' | sort -u | while read -r header; do
      lower="$(printf '%s' "$header" | tr '[:upper:]' '[:lower:]')"
      if [ ! -e "$sysinc/$header" ] && [ -e "$sysinc/$lower" ]; then
        mkdir -p "$(dirname "$part/include/$header")"
        ln -sf "$sysinc/$lower" "$part/include/$header"
      fi
    done
  rm -rf "$BUILD/poco-build" "$BUILD/gtest-build"
  logged "$BUILD/poco-configure.log" cmake -S "$pocodir" -B "$BUILD/poco-build" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DVEXMEND_WIN_PREFIX="$part" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$part" \
    -DCMAKE_CXX_FLAGS="-I$part/include" -DCMAKE_C_FLAGS="-I$part/include" \
    -DBUILD_SHARED_LIBS=OFF -DPOCO_UNBUNDLED=OFF \
    -DCMAKE_MC_COMPILER="$(command -v x86_64-w64-mingw32-windmc)" \
    -DENABLE_TESTS=OFF -DENABLE_SAMPLES=OFF "${off[@]}"
  logged "$BUILD/poco-build.log" nice cmake --build "$BUILD/poco-build" -j"$JOBS"
  logged "$BUILD/poco-install.log" cmake --install "$BUILD/poco-build"
  logged "$BUILD/gtest-configure.log" cmake -S /usr/src/googletest -B "$BUILD/gtest-build" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DVEXMEND_WIN_PREFIX="$part" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$part" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF
  logged "$BUILD/gtest-build.log" nice cmake --build "$BUILD/gtest-build" -j"$JOBS"
  logged "$BUILD/gtest-install.log" cmake --install "$BUILD/gtest-build"
  # The installed CMake files locate the prefix from their own place, so the
  # finished prefix can be moved into place whole.
  mv "$part" "$PREFIX"
  rm -rf "$BUILD/poco-src" "$BUILD/poco-build" "$BUILD/gtest-build"
fi

# --- 3. ffmpeg.exe ---------------------------------------------------------
FFMPEG_EXE="$("$ROOT/tools/windows/build-ffmpeg.sh" "$BUILD")"

# --- 4. vexmend ------------------------------------------------------------
step "vexmend"
# A configuration made against another prefix would keep its package paths.
grep -qsx "VEXMEND_WIN_PREFIX:UNINITIALIZED=$PREFIX" "$BUILD/vexmend/CMakeCache.txt" ||
  rm -f "$BUILD/vexmend/CMakeCache.txt"
# tests/windows brings in the top-level project (its own tests and benchmarks
# off: they need POSIX and the system ffmpeg), the host program, and adds the
# Windows test program and the decoy ffmpeg.exe in <build>/vexmend/bin.
logged "$BUILD/vexmend-configure.log" cmake -S "$ROOT/tests/windows" -B "$BUILD/vexmend" \
  -G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DVEXMEND_WIN_PREFIX="$PREFIX" \
  -DVEXMEND_ENCODER="$FFMPEG_EXE" -DCMAKE_BUILD_TYPE=Release
nice cmake --build "$BUILD/vexmend" -j"$JOBS"

step "done"
echo "host:    $BUILD/vexmend/host (vexmend.exe, vexmend.dll, ffmpeg.exe)"
echo "tests:   $BUILD/vexmend/bin/vexmend_windows_tests.exe"
