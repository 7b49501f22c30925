// VC-3 (SMPTE ST 2019-1), DNxHD and DNxHR: every frame is coded on its own
// and begins with a frame header prefix.
#include "MxfAdvanceRepair/codecs/EssenceParser.h"

namespace vexmend {

namespace {

class Parser final : public EssenceParser {
public:
    // 00 00 02 80 then 01 or 02; for DNxHR 03 after the header's size (a
    // multiple of 4 from 280h to 2170h) in bytes 3 and 4.
    bool BeginsFrame(const uint8_t* f, size_t size) const override
    {
        if (size < 5 || f[0] != 0 || f[1] != 0) return false;
        if (f[2] == 0x02 && f[3] == 0x80 && (f[4] == 1 || f[4] == 2)) return true;
        const unsigned headerSize = static_cast<unsigned>(f[2] << 8 | f[3]);
        return f[4] == 3 && headerSize >= 0x280 && headerSize <= 0x2170 && headerSize % 4 == 0;
    }

    bool IsKeyFrame(const uint8_t*, size_t) const override { return true; }
    bool ConstantFrameSize() const override { return true; }
};

}  // namespace

const EssenceParser& Vc3Parser()
{
    static const Parser parser;
    return parser;
}

}  // namespace vexmend
