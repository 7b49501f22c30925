#!/bin/sh
# Builds vexmend and runs the whole test suite: once normally, once under
# AddressSanitizer and UndefinedBehaviorSanitizer, then a short fuzz run; then
# the Windows build (vexmend.dll, vexmend.exe, ffmpeg.exe), its export check
# and the Windows tests under wine (skipped with VEXMEND_SKIP_WINDOWS=1).
set -e
cd "$(dirname "$0")/.."
start=$(date +%s)
./tools/setup-debian.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
./tools/check-exports.sh build/bin/libvexmend.so
./tools/check-structure.sh
(cd build && ctest --output-on-failure -j"$jobs")
./tools/check-install.sh build

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DVEXMEND_SANITIZE=ON -DVEXMEND_BUILD_BENCH=OFF
cmake --build build-sanitize -j"$jobs"
# The sanitized run keeps a row or two of the three codecs slowest there
# (JPEG 2000, AVC-Intra, D10 with AES3 sound) for their parsers; their other
# kinds of damage run under the sanitizers on every other codec's rows.
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$jobs" \
    -E '(jpeg2000|avc_intra_100|d10_imx50)_(keys|header_lost|first_mib_lost|zeros_inside)')

if [ -x tests/fuzz/run_fuzz.sh ]; then
  tests/fuzz/run_fuzz.sh "${VEXMEND_FUZZ_SECONDS:-60}"
fi
if [ "${VEXMEND_SKIP_WINDOWS:-0}" != 1 ]; then
  ./tools/windows/build-windows.sh
  ./tools/windows/check-exports.sh
  ./tools/windows/run-windows-tests.sh
fi
# Test code against the code it tests: non-blank C/C++ lines.
lines() {
  find "$@" \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 | xargs -0 cat |
    grep -cv '^[[:space:]]*$'
}
tests=$(lines tests) code=$(lines code include tools)
echo "test code: $tests non-blank lines against $code of code ($(awk "BEGIN { printf \"%.3f\", $tests / $code }"))"
seconds=$(($(date +%s) - start))
echo "all tests passed in $((seconds / 60)) min $((seconds % 60)) s"
