#!/bin/sh
# Configures, builds and runs the scan fuzzer for a while.
#   tests/fuzz/run_fuzz.sh [seconds] [build folder]
# Defaults: 60 seconds, build-fuzz at the repository root. The corpus lives in
# <build folder>/corpus, crash inputs are written to <build folder>/artifacts.
# The exit status is nonzero when the fuzzer found a crash or a mismatch.
set -eu
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${2:-$root/build-fuzz}

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2
mkdir -p "$build/corpus" "$build/artifacts"

# Seeds: four bytes of walk settings (window, look-ahead, byte limit, shrunk
# file), then a video and an audio element with some noise between.
key='\006\016\053\064\001\002\001\001\015\001\003\001'
if [ ! -f "$build/corpus/seed-elements" ]; then
    { printf '\010\100\377\377'
      printf "$key\025\001\001\001\203\000\000\004abcd"
      printf 'xyz'
      printf "$key\026\001\001\001\002hi"
      printf "$key\005\001\001\001\210\000\000\000\000\000\000\000\001Z"; } \
        > "$build/corpus/seed-elements"
fi

"$build/scan_fuzzer" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
    -dict="$here/scan.dict" -artifact_prefix="$build/artifacts/" "$build/corpus"
