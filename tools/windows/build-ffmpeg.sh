#!/bin/bash
# Cross-builds a small static ffmpeg.exe for 64-bit Windows from Debian's
# ffmpeg source package, with only what the two repairs ask of the encoder:
# reading MXF and the framed essence (Matroska) or raw video and PCM streams
# that the advance repair writes, writing MXF, copying streams, renumbering timestamps and PCM audio.
#
#   tools/windows/build-ffmpeg.sh [work folder]   (default: build-win)
#
# The result is cached under $CACHE (see common.sh), keyed by the source
# version, the compiler and the configuration; the script prints its path.
set -euo pipefail
. "$(dirname "$0")/common.sh"
BUILD="$(realpath -m "${1:-$ROOT/build-win}")"

command -v x86_64-w64-mingw32-gcc >/dev/null && command -v dpkg-source >/dev/null ||
  apt_install g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 dpkg-dev
ensure_deb_src

pcm=pcm_s16le,pcm_s16be,pcm_s24le,pcm_s24be,pcm_s32le,pcm_s32be
options=(
  --enable-cross-compile --target-os=mingw32 --arch=x86_64 --cross-prefix=x86_64-w64-mingw32-
  --pkg-config=false --disable-autodetect --enable-w32threads
  --disable-everything --disable-asm --disable-debug --disable-doc --disable-network
  --disable-programs --enable-ffmpeg --disable-avdevice --disable-swscale --disable-postproc
  --enable-static --disable-shared --extra-ldflags=-static
  --enable-protocol=file,pipe
  --enable-demuxer=mxf,matroska,mpegvideo,h264,hevc,dnxhd,dv,$pcm
  --enable-muxer=mxf,mxf_d10,mxf_opatom,null
  --enable-parser=mpegvideo,h264,hevc,dnxhd
  --enable-decoder=mpeg1video,mpeg2video,h264,hevc,dnxhd,dvvideo,$pcm
  --enable-encoder=pcm_s16le,pcm_s24le,pcm_s32le
  --enable-bsf=setts,pcm_rechunk
  --enable-filter=aresample,aformat,anull,format,null
)
version="$(source_version ffmpeg)"
[ -n "$version" ] || { echo "no ffmpeg source package found" >&2; exit 1; }
key="$(printf '%s\n' "$(x86_64-w64-mingw32-gcc -dumpversion)" "${options[@]}" | sha256sum | cut -c1-12)"
target="$CACHE/ffmpeg-$version-$key"

if [ ! -f "$target/ffmpeg.exe" ]; then
  step "ffmpeg $version for Windows"
  fetch_source "$BUILD/ffmpeg-src" ffmpeg
  rm -rf "$BUILD/ffmpeg-build" && mkdir -p "$BUILD/ffmpeg-build"
  cd "$BUILD/ffmpeg-build"
  logged configure.log "$(ls -d "$BUILD"/ffmpeg-src/ffmpeg-*/)configure" "${options[@]}"
  logged make.log nice make -j"$JOBS" ffmpeg.exe
  # Moved into place whole, so that an interrupted build leaves no cache entry.
  mkdir -p "$CACHE" && rm -rf "$target.part" && mkdir "$target.part"
  cp "$BUILD/ffmpeg-build/ffmpeg.exe" "$BUILD/ffmpeg-build/configure.log" "$target.part/"
  mv "$target.part" "$target"
  cd "$ROOT" && rm -rf "$BUILD/ffmpeg-src" "$BUILD/ffmpeg-build"
fi
echo "$target/ffmpeg.exe"
