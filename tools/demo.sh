#!/bin/sh
# Demo: makes a small MXF file, damages it twice and repairs it both ways,
# showing what ffprobe makes of each file before and after.
set -e
cd "$(dirname "$0")/.."
./tools/setup-debian.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXMEND_BUILD_TESTS=OFF -DVEXMEND_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
demo=$(mktemp -d /tmp/vexmend-demo-XXXXXX)
vexmend="build/bin/vexmend --log-dir $demo --work-dir $demo/work"
probe() {
  echo "-- ffprobe $1"
  if out=$(ffprobe -v error -count_frames -show_entries \
    stream=index,codec_name,codec_type,nb_read_frames,sample_rate,channels:format=duration \
    -of compact "$1"); then
    printf '%s\n' "$out" | sed -e 's/|side_data|$//' -e '/^$/d'
  else
    echo "(ffprobe cannot read it)"
  fi
}

ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25 \
  -f lavfi -i sine=frequency=440:sample_rate=48000 -map 0:v -map 1:a -frames:v 100 \
  -c:v mpeg2video -b:v 2M -g 12 -pix_fmt yuv420p -c:a pcm_s16le -ac 2 -ar 48000 -shortest \
  -f mxf "$demo/sample.mxf"
cp "$demo/sample.mxf" "$demo/clip.mxf"

# Damage 1: an unfinalised recording, as after a power loss: the file stops at
# 70%, its footer and index are missing and its header still claims 4 seconds.
size=$(stat -c %s "$demo/clip.mxf")
head -c $((size * 7 / 10)) "$demo/clip.mxf" >"$demo/unfinalised.mxf"
echo "== general repair of an unfinalised recording"
probe "$demo/unfinalised.mxf"
$vexmend general "$demo/unfinalised.mxf" "$demo/general-repaired.mxf"
probe "$demo/general-repaired.mxf"

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
echo "== a file whose header is gone: the general repair refuses it, the advance repair rebuilds it"
probe "$demo/destroyed.mxf"
$vexmend general "$demo/destroyed.mxf" "$demo/general-refused.mxf" || true
$vexmend advance "$demo/destroyed.mxf" "$demo/sample.mxf" "$demo/advance-repaired.mxf" 2>/dev/null
probe "$demo/advance-repaired.mxf"
echo "== files and log in $demo"
