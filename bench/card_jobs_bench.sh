#!/bin/sh
# Times the card mode on a card of one healthy and 8 damaged clips (MPEG-2,
# 100 pictures, 4 mono 24-bit tracks), repaired one at a time and two at a
# time, and prints both wall times. Of the damaged clips half are cut short
# (for the general repair) and half are also without their first 64 KiB
# (the header: for the advance repair).
#   bench/card_jobs_bench.sh [bin folder]
# Default: build/bin. Builds nothing: the folder must hold vexmend. With
# KEEP=1 the card, the reports and the progress are kept in the folder shown.
set -eu
host="$(cd "${1:-build/bin}" && pwd)/vexmend"
if [ ! -x "$host" ]; then
    echo "no $host; build vexmend_tool first" >&2
    exit 1
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/vexmend-card-bench-XXXXXX")
if [ -n "${KEEP:-}" ]; then
    echo "kept: $work"
else
    trap 'rm -rf "$work"' EXIT
fi

echo "== making the card"
mkdir -p "$work/card/Clip"
tones=$(for i in 1 2 3 4; do printf -- "-f lavfi -i sine=frequency=%d " $((i * 220)); done)
ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=720x576:rate=25 $tones \
    -map 0:v -map 1:a -map 2:a -map 3:a -map 4:a -frames:v 100 -c:v mpeg2video -b:v 8M \
    -g 12 -bf 2 -pix_fmt yuv420p -c:a pcm_s24le -ar 48000 -ac 1 -shortest -f mxf \
    "$work/card/Clip/C0001.MXF"
size=$(stat -c %s "$work/card/Clip/C0001.MXF")
for i in 2 3 4 5 6 7 8 9; do
    clip="$work/card/Clip/C000$i.MXF"
    head -c $((size * (60 + 4 * i) / 100)) "$work/card/Clip/C0001.MXF" >"$clip"
    if [ $((i % 2)) -eq 1 ]; then
        dd if=/dev/zero of="$clip" bs=65536 count=1 conv=notrunc status=none
    fi
done
echo "card: 9 clips of up to $size bytes"

# One run with $1 jobs: its wall time into $work/time.$1, its outcomes shown.
card() {
    rm -rf "$work/out" "$work/work"
    start=$(date +%s.%N)
    status=0
    "$host" --work-dir "$work/work" card "$work/card" "$work/out" --jobs "$1" \
        --report "$work/report.$1.json" >/dev/null 2>"$work/progress.$1" || status=$?
    awk -v start="$start" -v end="$(date +%s.%N)" 'BEGIN { printf "%.2f\n", end - start }' \
        >"$work/time.$1"
    python3 - "$work/report.$1.json" "$status" <<'PY'
import collections, json, sys
clips = json.load(open(sys.argv[1]))["clips"]
outcomes = collections.Counter(c["outcome"] for c in clips)
counts = ", ".join("%d %s" % (n, o) for o, n in sorted(outcomes.items()))
print("  exit status %s; %s" % (sys.argv[2], counts))
PY
}

sync
for jobs in 1 2; do
    echo "== --jobs $jobs"
    card $jobs
done
echo "wall time, --jobs 1: $(cat "$work/time.1") s"
echo "wall time, --jobs 2: $(cat "$work/time.2") s"
