#!/bin/sh
# Runs the scan benchmark on a 1 GiB mixed file, a 1 GiB garbage-only file and
# a 4 GiB mixed file, reporting each run's peak resident set size.
#   bench/run_scan_bench.sh [build folder]      (default: build)
# Builds nothing: configure with -DVEXMEND_BUILD_BENCH=ON and build the
# scan_bench target first.
set -u
build=${1:-build}
bench="$build/bench/scan_bench"
if [ ! -x "$bench" ]; then
    echo "no $bench; build the scan_bench target in $build first" >&2
    exit 1
fi

echo "== free space in /tmp (the runs need up to 4 GiB at a time)"
df -h /tmp
avail_kib=$(df -Pk /tmp | awk 'NR == 2 { print $4 }')
if [ "${avail_kib:-0}" -lt $((5 * 1024 * 1024)) ]; then
    echo "less than 5 GiB free in /tmp; the 4 GiB run is left out"
    skip_large=1
else
    skip_large=0
fi

timer=/usr/bin/time
if [ ! -x "$timer" ]; then
    echo "/usr/bin/time is missing (Debian package \"time\"); peak RSS is not reported"
    timer=
fi

status=0
run() {
    label=$1
    shift
    echo
    echo "== $label"
    if [ -n "$timer" ]; then
        out=$(mktemp /tmp/scan_bench_time.XXXXXX)
        "$timer" -v -o "$out" "$bench" "$@" || status=1
        grep -E "Maximum resident set size|Elapsed \(wall clock\)" "$out"
        rm -f "$out"
    else
        "$bench" "$@" || status=1
    fi
}

# Each run writes its file into a fresh folder under /tmp and removes it.
run "1 GiB, ~90% elements" --size-gib 1
run "1 GiB, garbage only" --size-gib 1 --garbage-only
if [ "$skip_large" -eq 0 ]; then
    run "4 GiB, ~90% elements (peak RSS target: under 64 MiB plus the tables)" --size-gib 4
fi
exit $status
