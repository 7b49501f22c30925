#!/bin/sh
# Times the advance repair of a 1080 50 Mbit/s MPEG-2 recording with 8 mono
# 24-bit tracks, whose first 64 KiB (the header) are zeroed and with 1 MiB of
# garbage after every 80 MiB, against the encoder's own stream-copy remux of
# the healthy recording. Runs alternating pairs, each timed up to its data on
# disk (sync), and prints the medians of wall and CPU time (the encoder's
# included) and their ratios; then, from one more repair, untimed, the work
# folder's peak size and the host's peak resident memory; then the parts of
# one repair.
#   bench/run_repair_bench.sh [build folder] [pairs] [loops]
# Defaults: build, 4 pairs, 8 loops of 20 s (about 1.1 GiB). With 0 pairs
# only one repair runs (for long recordings: 100 loops make about 13 GiB).
# Builds nothing: the folder must hold bin/vexmend and bench/repair_profile.
set -eu
build=$(cd "${1:-build}" && pwd)
pairs=${2:-4}
loops=${3:-8}
host="$build/bin/vexmend"
profile="$build/bench/repair_profile"
for program in "$host" "$profile" /usr/bin/time; do
    if [ ! -x "$program" ]; then
        echo "no $program; build vexmend_tool and repair_profile in $build first" >&2
        exit 1
    fi
done
work=$(mktemp -d "${TMPDIR:-/tmp}/vexmend-repair-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "== making the recording (20 s, looped $loops times)"
ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=1920x1080:rate=25 \
    -f lavfi -i sine=sample_rate=48000 -frames:v 500 -c:v mpeg2video -b:v 50M -minrate 50M \
    -maxrate 50M -bufsize 17M -g 12 -bf 2 -pix_fmt yuv422p -flags +ildct+ilme \
    -map 0:v $(for i in 1 2 3 4 5 6 7 8; do printf -- "-map 1:a "; done) \
    -c:a pcm_s24le -ac 1 -shortest -f mxf "$work/sample.mxf"
ffmpeg -nostdin -loglevel error -y -stream_loop $((loops - 1)) -i "$work/sample.mxf" -map 0 \
    -c copy -f mxf "$work/healthy.mxf"
python3 - "$work/healthy.mxf" "$work/damaged.mxf" <<'PY'
import os, sys
step, garbage = 80 << 20, 1 << 20
with open(sys.argv[1], 'rb') as healthy, open(sys.argv[2], 'wb') as damaged:
    damaged.write(bytes(65536))
    healthy.seek(65536)
    block = healthy.read(step - 65536)
    while block:
        damaged.write(block)
        damaged.write(os.urandom(garbage))
        block = healthy.read(step)
PY
recording=$(stat -c %s "$work/damaged.mxf")
echo "damaged recording: $recording bytes"
if [ "$pairs" -eq 0 ]; then rm "$work/healthy.mxf"; fi
sync

# One timed run: wall, user and system seconds (with the encoder's).
timed() {
    /usr/bin/time -f "%e %U %S" -o "$work/time" sh -c '"$@" && sync' timed "$@"
}
remux() {
    timed ffmpeg -nostdin -loglevel error -y -i "$work/healthy.mxf" -map 0 -c copy -f mxf \
        "$work/remux.mxf"
    rm -f "$work/remux.mxf"
    cat "$work/time" >>"$work/remux.times"
}
# The repair, timed. With "sampled", untimed, with the work folder's size
# and the host's resident memory sampled while it runs: the sampling spawns
# processes, which would take CPU time from the timed runs.
repair() {
    rm -rf "$work/work" "$work/repaired.mxf"
    mkdir "$work/work"
    if [ "${1:-}" != sampled ]; then
        timed "$host" --log-dir "$work" --work-dir "$work/work" advance "$work/damaged.mxf" \
            "$work/sample.mxf" "$work/repaired.mxf" >/dev/null
        cat "$work/time" >>"$work/repair.times"
        rm -f "$work/repaired.mxf"
        return
    fi
    start=$(date +%s.%N)
    "$host" --log-dir "$work" --work-dir "$work/work" advance "$work/damaged.mxf" \
        "$work/sample.mxf" "$work/repaired.mxf" >/dev/null &
    runner=$!
    folder=0 memory=0
    while kill -0 $runner 2>/dev/null; do
        size=$(du -sb "$work/work" 2>/dev/null | cut -f1)
        [ "${size:-0}" -gt $folder ] && folder=$size
        rss=$(awk '/^VmHWM/ { print $2 }' "/proc/$runner/status" 2>/dev/null || true)
        [ "${rss:-0}" -gt $memory ] && memory=$rss
        sleep 0.05
    done
    wait $runner
    seconds=$(awk -v start="$start" -v end="$(date +%s.%N)" 'BEGIN { print end - start }')
    echo "$folder $memory $seconds" >"$work/sampled"
    ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/repaired.mxf" \
        >"$work/duration"
    rm -f "$work/repaired.mxf"
}

if [ "$pairs" -gt 0 ]; then
    for i in $(seq "$pairs"); do
        echo "== pair $i of $pairs"
        remux
        repair
    done
fi
echo "== one more repair, sampled"
repair sampled

python3 - "$work" "$recording" "$pairs" "$loops" <<'PY'
import statistics, sys
work, recording, pairs, loops = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
duration = float(open(f"{work}/duration").read())
print(f"result: {duration:.2f} s of the {20 * loops} s recorded")
def runs(name):
    return [list(map(float, line.split())) for line in open(f"{work}/{name}.times")]
median = lambda rows, f: statistics.median(f(r) for r in rows)
if pairs:
    repairs = runs("repair")
    wall, cpu = median(repairs, lambda r: r[0]), median(repairs, lambda r: r[1] + r[2])
    print(f"advance repair (median of {len(repairs)}): wall {wall:.2f} s, CPU {cpu:.2f} s")
    remuxes = runs("remux")
    rwall, rcpu = median(remuxes, lambda r: r[0]), median(remuxes, lambda r: r[1] + r[2])
    print(f"encoder remux (median of {len(remuxes)}): wall {rwall:.2f} s, CPU {rcpu:.2f} s")
    print(f"ratio: wall {wall / rwall:.2f} (target <= 1.5), CPU {cpu / rcpu:.2f} (target <= 3)")
folder, memory, seconds = open(f"{work}/sampled").read().split()
folder, memory = int(folder), int(memory)
print(f"sampled repair: wall {float(seconds):.2f} s")
print(f"work folder peak: {folder} bytes, {100 * folder / recording:.3f}% of the "
      f"recording (target < 10%)")
print(f"host's peak resident memory: {memory / 1024:.1f} MiB")
PY

if [ "$pairs" -gt 0 ]; then
    # Drains the merge's pipes; any other call goes to the real encoder.
    cat >"$work/drain" <<'SH'
#!/bin/sh
case "$*" in *_Video.dat*) ;; *) exec ffmpeg "$@" ;; esac
for a; do case $a in file:*.dat) cat "${a#file:}" >/dev/null & ;; esac; done
wait
SH
    chmod +x "$work/drain"
    "$profile" "$work/damaged.mxf" "$work/sample.mxf" "$(command -v ffmpeg)" "$work/drain" \
        "$work/profile.mxf"
fi
