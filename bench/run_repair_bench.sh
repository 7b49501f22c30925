#!/bin/sh
# Times the whole advance repair of a ~1 GiB 1080 50 Mbit/s MPEG-2 recording
# whose header partition is gone against the encoder's own stream-copy remux
# of the healthy file, in one run, and prints the ratio (target: <= 1.8).
#   bench/run_repair_bench.sh [build folder]      (default: build)
# Builds nothing: the folder must hold bin/vexmend (the host program).
set -eu
build=${1:-build}
host="$build/bin/vexmend"
if [ ! -x "$host" ]; then
    echo "no $host; build the vexmend_tool target in $build first" >&2
    exit 1
fi
work=$(mktemp -d /tmp/vexmend-repair-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

echo "== making the recording (20 s, looped to about 1 GiB)"
ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=1920x1080:rate=25 \
    -f lavfi -i sine=sample_rate=48000 -frames:v 500 -c:v mpeg2video -b:v 50M -minrate 50M \
    -maxrate 50M -bufsize 17M -g 12 -bf 2 -pix_fmt yuv422p -flags +ildct+ilme \
    -c:a pcm_s24le -ac 1 -shortest -f mxf "$work/short.mxf"
ffmpeg -nostdin -loglevel error -y -stream_loop 8 -i "$work/short.mxf" -c copy -f mxf \
    "$work/sample.mxf"
# The header partition overwritten: the encoder no longer reads it as MXF.
cp "$work/sample.mxf" "$work/damaged.mxf"
python3 - "$work/damaged.mxf" <<'PY'
import sys
with open(sys.argv[1], 'r+b') as f:
    head = f.read(1 << 20)
    essence = head.find(bytes.fromhex('060e2b34010201010d010301'))
    f.seek(0)
    f.write(bytes(essence))
PY
ls -l "$work/damaged.mxf"
sync

# Each run is timed up to its result on disk (a sync), so that neither pays
# for the other's write-back.
seconds() { python3 -c 'import time; print(time.monotonic())'; }
start=$(seconds)
ffmpeg -nostdin -loglevel error -y -i "$work/sample.mxf" -c copy -f mxf "$work/remux.mxf"
sync
middle=$(seconds)
"$host" --log-dir "$work" --work-dir "$work/work" advance "$work/damaged.mxf" \
    "$work/sample.mxf" "$work/repaired.mxf" >/dev/null
sync
end=$(seconds)
python3 - "$start" "$middle" "$end" <<'PY'
import sys
start, middle, end = map(float, sys.argv[1:])
remux, repair = middle - start, end - middle
print(f"encoder remux of the healthy file: {remux:.2f} s")
print(f"advance repair of the damaged file: {repair:.2f} s")
print(f"ratio: {repair / remux:.2f} (target <= 1.8)")
PY
