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
