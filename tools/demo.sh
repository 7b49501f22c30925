#!/bin/sh
# Demo: makes a broadcast-like MXF file, damages it twice and repairs it both ways,
# showing what ffprobe makes of each file before and after.
set -e
cd "$(dirname "$0")/.."
./tools/setup-debian.sh
cmake -S . -B build-demo -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXMEND_BUILD_TESTS=OFF -DVEXMEND_BUILD_BENCH=OFF >/dev/null
cmake --build build-demo -j"$(nproc)" >/dev/null
demo=$(mktemp -d /tmp/vexmend-demo-XXXXXX)
vexmend="build-demo/bin/vexmend --log-dir $demo --work-dir $demo/work"
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

# A broadcast-like camera file: MPEG-2 4:2:2 long GOP at 50 Mbit/s with eight
# mono 24-bit sound tracks, each carrying its own tone.
tones="" maps=""
for i in 0 1 2 3 4 5 6 7; do
  tones="$tones -f lavfi -i sine=frequency=$((440 + 110 * i)):sample_rate=48000"
  maps="$maps -map $((i + 1)):a"
done
ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc=size=1280x720:rate=25 \
  $tones -map 0:v $maps -frames:v 100 -c:v mpeg2video -b:v 50M -maxrate 50M -bufsize 17M -g 12 \
  -bf 2 -pix_fmt yuv422p -c:a pcm_s24le -ac 1 -shortest -f mxf "$demo/sample.mxf"
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
