#include "MxfAdvanceRepair/codecs/EssenceParser.h"

#include "MxfAdvanceRepair/codecs/CodecTable.h"

namespace vexmend {

namespace {

class AnyFrameParser final : public EssenceParser {
public:
    bool BeginsFrame(const uint8_t*, size_t) const override { return true; }
    bool KnowsFrameHeaders() const override { return false; }
    bool IsKeyFrame(const uint8_t*, size_t) const override { return true; }
};

}  // namespace

const EssenceParser& FindEssenceParser(const std::string& codec)
{
    static const AnyFrameParser anyFrame;
    const CodecFacts* row = FindCodec(codec);
    return row != nullptr && row->parser != nullptr ? row->parser() : anyFrame;
}

std::string CodecOfFrame(const uint8_t* frame, size_t size)
{
    for (const CodecFacts* row = CodecsBegin(); row != CodecsEnd(); ++row) {
        if (row->parser != nullptr && row->parser().BeginsFrame(frame, size)) return row->codec;
    }
    return "unknown";
}

}  // namespace vexmend
