#include "MxfAdvanceRepair/codecs/EssenceParser.h"

namespace vexmend {

namespace {

class AnyFrameParser final : public EssenceParser {
public:
    bool BeginsFrame(const uint8_t*, size_t) const override { return true; }
    bool IsKeyFrame(const uint8_t*, size_t) const override { return true; }
};

struct NamedParser {
    const char* codec;
    const EssenceParser& (*parser)();
};

// Codec names as the encoder's stream report gives them.
const NamedParser kParsers[] = {
    {"mpeg2video", MpegVideoParser},
    {"mpeg1video", MpegVideoParser},
    {"h264", AvcParser},
    {"hevc", HevcParser},
    {"dnxhd", Vc3Parser},
    {"dvvideo", DvParser},
};

}  // namespace

const EssenceParser& FindEssenceParser(const std::string& codec)
{
    static const AnyFrameParser anyFrame;
    for (const NamedParser& entry : kParsers) {
        if (codec == entry.codec) return entry.parser();
    }
    return anyFrame;
}

std::string CodecOfFrame(const uint8_t* frame, size_t size)
{
    for (const NamedParser& entry : kParsers) {
        if (entry.parser().BeginsFrame(frame, size)) return entry.codec;
    }
    return "unknown";
}

}  // namespace vexmend
