// JPEG 2000 (ISO/IEC 15444-1): every frame is coded on its own, as a
// codestream that begins with the start of codestream marker (FF4F) and the
// image and tile size segment (FF51) and ends with the end of codestream
// marker (FFD9), or as a JP2 file (its signature box first) holding one.
#include <cstring>

#include "MxfAdvanceRepair/codecs/EssenceParser.h"

namespace vexmend {

namespace {

constexpr uint8_t kJp2Signature[] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};

class Parser final : public EssenceParser {
public:
    // The size segment's length is 38 and 3 for each of its components.
    bool BeginsFrame(const uint8_t* f, size_t size) const override
    {
        if (size >= sizeof kJp2Signature && std::memcmp(f, kJp2Signature, 12) == 0) return true;
        if (size < 6 || f[0] != 0xFF || f[1] != 0x4F || f[2] != 0xFF || f[3] != 0x51) return false;
        const unsigned length = static_cast<unsigned>(f[4] << 8 | f[5]);
        return length >= 41 && (length - 38) % 3 == 0;
    }

    bool IsKeyFrame(const uint8_t*, size_t) const override { return true; }

    // A frame begins where a codestream begins after the end of one. Coded
    // data never holds FF followed by 90h or more, so no end marker lies
    // within it, and a codestream start that coded data happens to hold
    // cuts nothing.
    size_t NextFrameStart(const uint8_t* data, size_t size, size_t from, size_t limit,
                          bool& inPicture) const override
    {
        for (size_t at = from; at < limit && at + 2 <= size; ++at) {
            if (data[at] == 0xFF && data[at + 1] == 0xD9) {
                inPicture = true;
            } else if (inPicture && (data[at] == 0xFF || data[at] == 0) &&
                       BeginsFrame(data + at, size - at)) {
                inPicture = false;
                return at;
            }
        }
        return limit;
    }
};

}  // namespace

const EssenceParser& Jpeg2000Parser()
{
    static const Parser parser;
    return parser;
}

}  // namespace vexmend
