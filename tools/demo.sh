#!/bin/sh
# Demo: makes a small MXF file, damages it twice and repairs it both ways.
set -e
cd "$(dirname "$0")/.."
./tools/setup-debian.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXMEND_BUILD_TESTS=OFF -DVEXMEND_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
demo=$(mktemp -d /tmp/vexmend-demo-XXXXXX)
vexmend=build/bin/vexmend

ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25 \
  -f lavfi -i sine=frequency=440:sample_rate=48000 -map 0:v -map 1:a -frames:v 100 \
  -c:v mpeg2video -b:v 2M -g 12 -pix_fmt yuv420p -c:a pcm_s16le -ac 2 -ar 48000 -shortest \
  -f mxf "$demo/sample.mxf"
cp "$demo/sample.mxf" "$demo/clip.mxf"

# Damage 1: part of the header metadata overwritten; ffmpeg still finds the streams.
cp "$demo/clip.mxf" "$demo/header-damaged.mxf"
dd if=/dev/zero of="$demo/header-damaged.mxf" bs=1 seek=200 count=200 conv=notrunc status=none
echo "== general repair of $demo/header-damaged.mxf"
$vexmend --log-dir "$demo" --work-dir "$demo/work" general "$demo/header-damaged.mxf" "$demo/general-repaired.mxf"
ffprobe -v error -show_entries stream=index,codec_name,codec_type -of compact "$demo/general-repaired.mxf"

# Damage 2: the whole header partition and the footer destroyed; ffmpeg no
# longer sees an MXF file, only the frames are left.
python3 - "$demo/clip.mxf" "$demo/destroyed.mxf" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
essence = data.find(bytes.fromhex('060e2b34010201010d010301'))
footer = data.rfind(bytes.fromhex('060e2b34020501010d0102010104'))
data[:essence] = bytes(essence)
if footer > essence:
    data[footer:] = bytes(len(data) - footer)
open(sys.argv[2], 'wb').write(data)
PY
echo "== what ffprobe makes of $demo/destroyed.mxf"
ffprobe -v error -show_entries stream=index,codec_name,codec_type -of compact "$demo/destroyed.mxf" || true
echo "== advance repair of $demo/destroyed.mxf with $demo/sample.mxf"
$vexmend --log-dir "$demo" --work-dir "$demo/work" advance "$demo/destroyed.mxf" "$demo/sample.mxf" "$demo/advance-repaired.mxf" 2>/dev/null
ffprobe -v error -show_entries stream=index,codec_name,codec_type,sample_rate,channels:format=duration -of compact "$demo/advance-repaired.mxf"
echo "== files and log in $demo"
