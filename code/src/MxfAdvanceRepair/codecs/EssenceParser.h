// What the engine knows of a video codec's frames, one parser per codec
// (MPEG-1/2, H.264, HEVC, VC-3/DNxHD, DV, ProRes, JPEG 2000): how a frame
// begins, whether
// decoding can begin at it, the stream header before its first picture and
// the timecode it carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "MxfAdvanceRepair/codecs/Timecode.h"

namespace vexmend {

// Bytes of a picture read to tell its kind and the timecode it carries.
constexpr uint64_t kFrameHead = 65536;

class EssenceParser {
public:
    virtual ~EssenceParser() = default;

    // True when `frame` begins as this codec's frames begin.
    virtual bool BeginsFrame(const uint8_t* frame, size_t size) const = 0;
    // False for the parser of codecs without one, which takes anything for
    // a frame: frames cannot be told by their header then.
    virtual bool KnowsFrameHeaders() const { return true; }
    // True when decoding can begin at this frame, given a stream header.
    virtual bool IsKeyFrame(const uint8_t* frame, size_t size) const = 0;
    // Length of the stream header before the frame's first picture; 0 when
    // the codec has none or no picture starts in `size` bytes.
    virtual size_t StreamHeaderLength(const uint8_t*, size_t) const { return 0; }
    // True when the frame begins with what decoding needs from there on.
    virtual bool StartsWithStreamHeader(const uint8_t*, size_t) const { return true; }
    // The timecode that the frame carries (MPEG-2 GOP header, DV subcode),
    // at `frameRate` frames a second.
    virtual std::optional<Timecode> FrameTimecode(const uint8_t*, size_t, double) const
    {
        return std::nullopt;
    }
    // The frame's place in display order within its group of pictures
    // (MPEG-1/2 temporal reference), for codecs whose pictures may come
    // before pictures shown ahead of them; nothing for the others.
    virtual std::optional<int> DisplayPlace(const uint8_t*, size_t) const { return std::nullopt; }
    // True when every frame of the codec has one size (VC-3, DV).
    virtual bool ConstantFrameSize() const { return false; }
    // Where the next frame of a stream of frames begins (MPEG-1/2, H.264,
    // ProRes, JPEG 2000): the offset of the first frame start at [from,
    // limit) of `data` (which holds `size` bytes, limit + 16 or more unless
    // the stream ends there), or `limit` when none. `inPicture` carries
    // whether a picture began (or, for JPEG 2000, ended) since the last
    // frame start, across calls over consecutive stretches. Codecs without
    // the rule give `limit`.
    virtual size_t NextFrameStart(const uint8_t*, size_t, size_t, size_t limit, bool&) const
    {
        return limit;
    }
    // Breaks start codes in damaged frames that would make the encoder cut
    // a frame there; returns how many it broke.
    virtual size_t BreakFalseStarts(uint8_t*, size_t) const { return 0; }
};

// The parser for a codec name of the encoder's stream report; for codecs
// without one, a parser that takes every frame as it comes (each begins a
// frame and is a key frame).
const EssenceParser& FindEssenceParser(const std::string& codec);

// The codec, of those with a parser, whose frames begin as `frame` does;
// "unknown" when none.
std::string CodecOfFrame(const uint8_t* frame, size_t size);

// The parsers, one a file.
const EssenceParser& MpegVideoParser();
const EssenceParser& AvcParser();
const EssenceParser& HevcParser();
const EssenceParser& Vc3Parser();
const EssenceParser& DvParser();
const EssenceParser& ProResParser();
const EssenceParser& Jpeg2000Parser();

}  // namespace vexmend
