// What the library knows of each video codec, one row a codec, by the name
// that the encoder's stream report gives it: the parser of its frames, the
// encoder's raw demuxer for it, and its codec in the framed (Matroska)
// stream.
#pragma once

#include <string>

namespace vexmend {

class EssenceParser;

struct CodecFacts {
    const char* codec;  // "mpeg2video"
    // The frames' parser; null for codecs without one.
    const EssenceParser& (*parser)();
    // The encoder's raw demuxer ("mpegvideo"), whether it takes the frame
    // rate (the stream does not state it) and large reads; null for none.
    const char* rawDemuxer;
    bool demuxerTakesFrameRate, demuxerTakesPacketSize;
    // The Matroska codec ID; null when the codec has no Matroska form.
    const char* matroskaCodecId;
    // A four-character code: for "V_MS/VFW/FOURCC" the bitmap header's,
    // for other IDs the CodecPrivate itself, where the sample's report
    // names none ("V_PRORES": the profile); null for neither.
    const char* fourcc;
};

// The row of `codec`; null when the table has none.
const CodecFacts* FindCodec(const std::string& codec);

// The table's rows, in the order in which frames are tried against the
// parsers (MPEG-2 before MPEG-1, whose frames begin alike).
const CodecFacts* CodecsBegin();
const CodecFacts* CodecsEnd();

}  // namespace vexmend
