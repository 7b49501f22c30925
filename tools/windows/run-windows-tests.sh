#!/bin/bash
# Runs the Windows tests under wine: the test program (the library's parts and
# the shipped DLL's exports), then both repairs end to end
# through the host program vexmend.exe with the real ffmpeg.exe, on files made
# by the Linux encoder and checked with the Linux ffprobe.
#
#   tools/windows/run-windows-tests.sh [build folder] [gtest arguments...]
# The build folder is the one given to build-windows.sh (default: build-win).
# The closing line gives the count of tests passed and failed.
set -euo pipefail
. "$(dirname "$0")/common.sh"
BUILD="$(realpath -m "${1:-$ROOT/build-win}")"
shift || true
BIN="$BUILD/vexmend/bin"
HOST="$BUILD/vexmend/host"
setup_wine

# --- the test program ------------------------------------------------------
out="$(cd "$BIN" && "$WINE" ./vexmend_windows_tests.exe --gtest_color=no "$@" </dev/null 2>&1 |
  tr -d '\r')" || true
printf '%s\n' "$out"
passed="$(printf '%s\n' "$out" | sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\.$/\1/p')"
failed="$(printf '%s\n' "$out" | sed -nE 's/^\[  FAILED  \] ([0-9]+) tests?, listed below:$/\1/p')"
passed="${passed:-0}" failed="${failed:-0}"
[ "$passed" -gt 0 ] || failed=$((failed + 1))  # the program did not run
unit="$((passed + failed))"

# --- end to end ------------------------------------------------------------
check() {  # check NAME COMMAND...: one test
  if "${@:2}"; then
    passed=$((passed + 1)) && echo "[       OK ] $1"
  else
    failed=$((failed + 1)) && echo "[  FAILED  ] $1" && tail -n 5 "$T/run.log" | sed 's/^/    /'
  fi
}
same() { [ -n "$2" ] && [ "$1" = "$2" ] || { echo "    got:      $1" && echo "    expected: $2"; false; }; }
# Streams as ffprobe sees them: video codec, frame rate and frame count;
# audio sample rate and channels; one entry a stream.
streams() {
  ffprobe -v error -count_frames -of csv=p=0 \
    -show_entries stream=codec_type,codec_name,sample_rate,channels,r_frame_rate,nb_read_frames \
    "$1" 2>>"$T/media.log" |
    awk -F, '$2 == "video" {printf "video:%s:%s:%s ", $1, $3, $4} $2 == "audio" {printf "audio:%s:%s ", $3, $4}'
}
win() { printf 'Z:%s' "${1//\//\\}"; }  # the Windows form of a Unix path
vexmend() {  # runs the host program; its exit status
  "$WINE" "$app/vexmend.exe" --log-dir "$(win "$logs")" --work-dir "Z:$T/work dir" \
    "$@" </dev/null >"$T/run.log" 2>&1 && echo 0 || echo $?
}
# Zeros before the first essence element and from the footer partition on.
destroy() {
  local at
  at="$(LC_ALL=C grep -obUaP '\x06\x0e\x2b\x34\x01\x02\x01\x01\x0d\x01\x03\x01' "$1" | head -n1 | cut -d: -f1)"
  head -c "$at" /dev/zero | dd of="$1" conv=notrunc status=none
  at="$(LC_ALL=C grep -obUaP '\x06\x0e\x2b\x34\x02\x05\x01\x01\x0d\x01\x02\x01\x01\x04' "$1" | tail -n1 | cut -d: -f1)"
  [ -z "$at" ] || truncate -s "$at" "$1"
}

T="$(mktemp -d /tmp/vexmend-wine-XXXXXX)"
trap '[ "$failed" = 0 ] && rm -rf "$T" || echo "files kept in $T"' EXIT
: >"$T/run.log"
# The host folder under a folder whose name has a space; an encoder path
# left unquoted on the command line would start the decoys Program.exe or
# "Program Files\Vexmend.exe", programs that leave decoy-ran.txt.
app="$T/Program Files/Vexmend Host"
mkdir -p "$app" && cp "$HOST/vexmend.exe" "$HOST/vexmend.dll" "$HOST/ffmpeg.exe" "$app/"
cp "$BIN/ffmpeg.exe" "$T/Program.exe" && cp "$BIN/ffmpeg.exe" "$T/Program Files/Vexmend.exe"
media="$T/média 日本 clips" logs="$T/journal ü"
mkdir -p "$media" "$logs"

# Recordings of two seconds at 25 frames per second: name, picture size,
# video codec, further encoder arguments.
while read -r name size codec more; do
  clip="$media/$name clip é.mxf"
  ffmpeg -nostdin -loglevel error -y -f lavfi -i "testsrc=rate=25:size=$size" -f lavfi \
    -i sine=sample_rate=48000 -t 2 -c:v "$codec" $more -f mxf "$clip"
  # A recording cut short: footer and index missing, the header unfinalised.
  cut="$media/$name unfinalised.mxf"
  head -c $(($(stat -c %s "$clip") * 7 / 10)) "$clip" >"$cut"
  out="$media/out/$name réparé.mxf"
  check "general repair, $name: exit status" same "$(vexmend general "$(win "$cut")" "Z:$out")" 0
  check "general repair, $name: streams" same "$(streams "$out")" "$(streams "$cut")"
  # Header partition and footer gone.
  damaged="$media/$name damaged.mxf" out="$media/$name rebuilt.mxf"
  cp "$clip" "$damaged" && destroy "$damaged"
  check "advance repair, $name: exit status" \
    same "$(vexmend advance "$(win "$damaged")" "Z:$clip" "$(win "$out")")" 0
  check "advance repair, $name: streams" same "$(streams "$out")" "$(streams "$clip")"
done <<'TABLE'
mpeg2  320x240    mpeg2video  -c:a pcm_s16le -ac 2
h264   640x360    libx264     -c:a pcm_s24le -ac 1 -pix_fmt yuv420p -x264-params keyint=25
dnxhd  1920x1080  dnxhd       -c:a pcm_s16le -ac 2 -b:v 36M -pix_fmt yuv422p
dv     720x576    dvvideo     -c:a pcm_s16le -ac 2 -pix_fmt yuv420p
TABLE

# A card of the MPEG-2 recordings: healthy, cut short, header destroyed.
card="$media/card" && mkdir -p "$card/Clip"
cp "$media/mpeg2 clip é.mxf" "$card/Clip/C0001.MXF" && cp "$media/mpeg2 unfinalised.mxf" \
  "$card/Clip/C0002.MXF" && cp "$media/mpeg2 damaged.mxf" "$card/Clip/C0003.MXF"
check "card mode: exit status" same "$(vexmend card "$(win "$card")" "$(win "$media/card out")" \
  --report "$(win "$T/card.json")")" 0
check "card mode: outcomes" same "$(python3 -c 'import json, sys
print(" ".join(c["outcome"] for c in json.load(open(sys.argv[1]))["clips"]))' "$T/card.json")" \
  "healthy general advance"

check "general repair of a file without header: refused (-2054)" \
  same "$(vexmend general "$(win "$media/mpeg2 damaged.mxf")" "$(win "$media/refused.mxf")")" 15
check "decoys at the unquoted path's places never ran" \
  [ ! -e "$T/decoy-ran.txt" -a ! -e "$T/Program Files/decoy-ran.txt" ]
crlf() { [ -s "$1" ] && ! grep -q $'[^\r]$\|^$' "$1" && [ "$(tail -c 2 "$1" | od -An -tx1)" = " 0d 0a" ]; }
check "log records end in CR LF" crlf "$logs/QorVideoRepair.log"

"$(dirname "$WINE")/wineserver" -w || true
echo "windows tests: $passed passed, $failed failed ($unit in the test program, $((passed + failed - unit)) end to end)"
[ "$failed" = 0 ]
