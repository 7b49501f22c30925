// What the engine knows of the video codecs it rewraps: the encoder's raw
// demuxer for each, and where a frame's stream header ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vexmend {

// The encoder's raw demuxer for a codec name of its stream report
// ("mpeg2video" -> "mpegvideo"); empty when it has none.
std::string RawDemuxerFor(const std::string& codec);

// True when the codec's raw demuxer takes its frame rate from "-framerate"
// (the stream itself does not state it).
bool RawDemuxerTakesFrameRate(const std::string& codec);

// The frame rate as the encoder's rate text: the broadcast rates of the
// 1000/1001 family exactly ("30000/1001"), others in decimal.
std::string FrameRateText(double rate);

// The time that `frames` frames take at `rate` ("%f" text, seconds), from
// the exact rate as FrameRateText gives it and rounded up to the
// microsecond, so that no frame of a long 23.976 or 29.97 recording is cut.
std::string DurationText(uint64_t frames, double rate);

// True when `frame` begins as a frame of `codec` begins (a stream header or
// picture start for MPEG-1/2, H.264 and HEVC, the frame header for DNxHD
// and DV); codecs without such a rule pass.
bool FrameLooksLike(const std::string& codec, const uint8_t* frame, size_t size);

// The codec, of those with such a rule, whose frames begin as `frame` does;
// "unknown" when none.
std::string CodecOfFrame(const uint8_t* frame, size_t size);

// Length of the stream header at the start of a frame: the bytes before its
// first picture (MPEG-1/2: picture start code; H.264/HEVC: first slice NAL
// unit). 0 for codecs whose frames need no header, or when no picture starts
// in `size` bytes.
size_t StreamHeaderLength(const std::string& codec, const uint8_t* frame, size_t size);

// True when the frame begins with what the codec needs to be decoded from
// there on (MPEG-1/2 sequence header; H.264/HEVC sequence parameter set
// before the first slice), and for codecs without such a header.
bool StartsWithStreamHeader(const std::string& codec, const uint8_t* frame, size_t size);

// MPEG-1/2 only: a picture start code whose picture coding type is 0 cannot
// start a picture (a flipped bit in stuffing makes one); its prefix is broken
// so that the encoder does not cut a frame there. Returns how many it broke.
size_t BreakFalsePictureStarts(const std::string& codec, uint8_t* frame, size_t size);

}  // namespace vexmend
