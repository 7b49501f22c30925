#include "MxfAdvanceRepair/codecs/CodecTable.h"

#include <iterator>

#include "MxfAdvanceRepair/codecs/EssenceParser.h"

namespace vexmend {

namespace {

// H.264 and HEVC frames stay in their start code form in the framed stream,
// as the MXF file holds them: their tracks carry no decoder configuration.
// ProRes frames keep their size and identifier, which the encoder's
// Matroska reader takes as they are; its CodecPrivate names the profile.
// JPEG 2000 has no Matroska codec ID of its own.
constexpr CodecFacts kCodecs[] = {
    {"mpeg2video", MpegVideoParser, "mpegvideo", false, true, "V_MPEG2", nullptr},
    {"mpeg1video", MpegVideoParser, "mpegvideo", false, true, "V_MPEG1", nullptr},
    {"h264", AvcParser, "h264", true, true, "V_MPEG4/ISO/AVC", nullptr},
    {"hevc", HevcParser, "hevc", true, true, "V_MPEGH/ISO/HEVC", nullptr},
    {"dnxhd", Vc3Parser, "dnxhd", true, true, "V_MS/VFW/FOURCC", "AVdn"},
    {"dvvideo", DvParser, "dv", false, false, "V_MS/VFW/FOURCC", "dvsd"},
    {"prores", ProResParser, nullptr, false, false, "V_PRORES", "apcn"},
    {"jpeg2000", Jpeg2000Parser, nullptr, false, false, "V_MS/VFW/FOURCC", "MJ2C"},
    {"mjpeg", nullptr, "mjpeg", true, true, "V_MJPEG", nullptr},
    {"mpeg4", nullptr, "m4v", true, true, "V_MPEG4/ISO/ASP", nullptr},
    {"vc1", nullptr, "vc1", true, true, nullptr, nullptr},
    {"cavs", nullptr, "cavsvideo", true, true, "V_MS/VFW/FOURCC", "CAVS"},
    {"avs2", nullptr, "avs2", true, true, "V_AVS2", nullptr},
    {"dirac", nullptr, "dirac", true, true, "V_DIRAC", nullptr},
    {"h261", nullptr, "h261", true, true, "V_MS/VFW/FOURCC", "H261"},
    {"h263", nullptr, "h263", true, true, "V_MS/VFW/FOURCC", "H263"},
    {"av1", nullptr, "obu", true, false, "V_AV1", nullptr},
};

}  // namespace

const CodecFacts* FindCodec(const std::string& codec)
{
    for (const CodecFacts& row : kCodecs) {
        if (codec == row.codec) return &row;
    }
    return nullptr;
}

const CodecFacts* CodecsBegin() { return std::begin(kCodecs); }
const CodecFacts* CodecsEnd() { return std::end(kCodecs); }

}  // namespace vexmend
