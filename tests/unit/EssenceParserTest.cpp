#include <gtest/gtest.h>

#include "MxfAdvanceRepair/codecs/EssenceParser.h"
#include "MxfAdvanceRepair/codecs/RawVideoInput.h"

namespace vexmend {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kMpegSequence{0, 0, 1, 0xB3, 0x2D, 0x02, 0, 0, 1, 0xB5, 0x18, 0, 0, 1, 0xB8, 0x08};
const Bytes kMpegIPicture{0, 0, 1, 0x00, 0x00, 0x0F, 0xFF, 0xF8, 0, 0, 1, 0x01, 0x22};
const Bytes kMpegBPicture{0, 0, 1, 0x00, 0x40, 0x1F, 0xFF, 0xF8, 0, 0, 1, 0x01, 0x22};

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes joined;
    for (const Bytes& part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

TEST(EssenceParser, StreamHeaderBeforeTheFirstPictureAndTheCodecOfAFrame)
{
    const struct {
        const char* codec;
        Bytes frame;
        size_t headerLength;
        bool startsWithHeader;
        const char* codecOfFrame;
    } cases[] = {
        // clang-format off
        {"mpeg2video", Join({kMpegSequence, kMpegIPicture}), kMpegSequence.size(), true, "mpeg2video"},
        {"mpeg1video", Join({{0, 0, 1, 0xB8, 1}, kMpegBPicture}), 5, false, "mpeg2video"},
        {"mpeg2video", kMpegBPicture, 0, false, "mpeg2video"},
        // One zero before 01 is no start code prefix.
        {"mpeg2video", Join({{0x05, 0, 1, 0xB3}, kMpegIPicture}), 4, false, "unknown"},
        // H.264: SPS, PPS, then an IDR slice behind a four-byte start code.
        {"h264", {0, 0, 0, 1, 0x67, 0x64, 0, 0, 0, 1, 0x68, 0xEE, 0, 0, 0, 1, 0x65, 0x88}, 12, true, "h264"},
        {"h264", {0, 0, 0, 1, 0x09, 0x10, 0, 0, 1, 0x41, 0x9A}, 6, false, "h264"},
        // HEVC: VPS, SPS, then an IDR slice.
        {"hevc", {0, 0, 1, 0x40, 0x01, 0x0C, 0, 0, 1, 0x42, 0x01, 0x01, 0, 0, 1, 0x26, 0x01}, 12, true, "hevc"},
        {"hevc", {0, 0, 1, 0x02, 0x01, 0xD0}, 0, false, "hevc"},
        {"dvvideo", {0x1F, 0x07, 0x00, 0x3F}, 0, true, "dvvideo"},
        {"dnxhd", {0, 0, 2, 0x80, 1, 1}, 0, true, "dnxhd"},
        {"mpeg2video", {0, 0, 1}, 0, false, "unknown"},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.codec) + " frame of " + std::to_string(c.frame.size()));
        const EssenceParser& parser = FindEssenceParser(c.codec);
        EXPECT_EQ(parser.StreamHeaderLength(c.frame.data(), c.frame.size()), c.headerLength);
        EXPECT_EQ(parser.StartsWithStreamHeader(c.frame.data(), c.frame.size()),
                  c.startsWithHeader);
        EXPECT_EQ(CodecOfFrame(c.frame.data(), c.frame.size()), c.codecOfFrame);
    }
    // A picture start of coding type 0 in a frame (damaged stuffing) is broken.
    Bytes frame = Join({kMpegIPicture, {0, 0, 1, 0x00, 0x00, 0x07}, kMpegBPicture});
    EXPECT_EQ(FindEssenceParser("mpeg2video").BreakFalseStarts(frame.data(), frame.size()), 1u);
    EXPECT_EQ(frame, Join({kMpegIPicture, {0, 0, 0, 0x00, 0x00, 0x07}, kMpegBPicture}));
}

// From the exact rate of the 1000/1001 family, rounded up to the microsecond.
TEST(EssenceParser, DurationOfFrames)
{
    EXPECT_EQ(DurationText(12000, 23.98), "500.500000");
    EXPECT_EQ(DurationText(1000, 29.97), "33.366667");
    EXPECT_EQ(DurationText(250, 25), "10.000000");
}

}  // namespace
}  // namespace vexmend
