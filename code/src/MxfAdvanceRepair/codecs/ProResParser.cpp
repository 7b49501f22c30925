// Apple ProRes (SMPTE RDD 36): every frame is coded on its own and begins
// with its size in bytes, the frame identifier 'icpf' and the frame header,
// whose own size comes first.
#include <cstring>

#include "MxfAdvanceRepair/codecs/EssenceParser.h"

namespace vexmend {

namespace {

// Size, identifier, then the header's size, a reserved byte and the
// bitstream version.
constexpr size_t kFrameStart = 12;
// The header up to the quantization matrices' flags.
constexpr uint32_t kShortestHeader = 20;

uint32_t BigEndian32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// The frame's size as it states it; 0 when `f` begins no frame: one of
// bitstream version 0 or 1 that holds its header.
uint32_t StatedFrameSize(const uint8_t* f, size_t size)
{
    if (size < kFrameStart || std::memcmp(f + 4, "icpf", 4) != 0 || f[11] > 1) return 0;
    const uint32_t frame = BigEndian32(f), header = static_cast<uint32_t>(f[8] << 8 | f[9]);
    return header >= kShortestHeader && frame >= 8 + header ? frame : 0;
}

class Parser final : public EssenceParser {
public:
    bool BeginsFrame(const uint8_t* f, size_t size) const override
    {
        return StatedFrameSize(f, size) > 0;
    }

    bool IsKeyFrame(const uint8_t*, size_t) const override { return true; }

    // Frames follow each other as their sizes say: the search goes on at
    // the end of a frame where the next one begins there or past the data,
    // so that an identifier in a frame's coded data cuts nothing.
    size_t NextFrameStart(const uint8_t* data, size_t size, size_t from, size_t limit,
                          bool& inPicture) const override
    {
        for (size_t at = from; at < limit && at + kFrameStart <= size;) {
            const uint32_t frame = StatedFrameSize(data + at, size - at);
            if (frame == 0) {
                ++at;
                continue;
            }
            if (inPicture) {
                inPicture = false;
                return at;
            }
            inPicture = true;
            const size_t next = at + frame;
            at = next >= size || BeginsFrame(data + next, size - next) ? next : at + 1;
        }
        return limit;
    }
};

}  // namespace

const EssenceParser& ProResParser()
{
    static const Parser parser;
    return parser;
}

}  // namespace vexmend
