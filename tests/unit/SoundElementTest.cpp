#include <gtest/gtest.h>

#include "MxfAdvanceRepair/SoundElement.h"

namespace vexmend {
namespace {

// A hand-made AES3 element: two samples of eight subframes, the audio in
// bits 4 to 27 and the channel number in bits 0 to 2.
std::vector<uint8_t> Aes3Element(const std::vector<uint32_t>& samples24)
{
    std::vector<uint8_t> element{0x00, 0x02, 0x00, 0x0F};  // 2 samples, channels 1-4 valid
    for (size_t s = 0; s < samples24.size() / 8; ++s) {
        for (uint32_t c = 0; c < 8; ++c) {
            uint32_t bits = (samples24[s * 8 + c] & 0xFFFFFF) << 4 | c | 0x10000000u;
            for (int b = 0; b < 4; ++b) element.push_back(static_cast<uint8_t>(bits >> (8 * b)));
        }
    }
    return element;
}

TEST(SoundElement, Aes3IsUnpackedToItsFirstChannelsAtTheSampleDepth)
{
    std::vector<uint8_t> element = Aes3Element({0x123456, 0xABCDEF, 0x000001, 0xFFFFFF, 5, 6, 7, 8,
                                                0x7FFFFF, 0x800000, 0x010203, 0x0A0B0C, 5, 6, 7,
                                                8});
    EXPECT_EQ(UnpackAes3(element.data(), element.size(), 4, 3),
              (std::vector<uint8_t>{0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x01, 0x00,
                                    0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x00,
                                    0x00, 0x80, 0x03, 0x02, 0x01, 0x0C, 0x0B, 0x0A}));
    EXPECT_EQ(UnpackAes3(element.data(), element.size(), 2, 2),
              (std::vector<uint8_t>{0x34, 0x12, 0xCD, 0xAB, 0xFF, 0x7F, 0x00, 0x80}));
    // A cut element gives its whole samples only.
    EXPECT_EQ(UnpackAes3(element.data(), element.size() - 1, 1, 3).size(), 3u);
    EXPECT_TRUE(UnpackAes3(element.data(), 3, 1, 3).empty());
    EXPECT_TRUE(IsAes3Track(0x06011000));
    EXPECT_FALSE(IsAes3Track(0x16080300));
}

TEST(SoundElement, ElementsFitOneFrameOfTheStream)
{
    const AudioStreamDescription mono24{"s24le", 48000, 1}, stereo16{"s16le", 48000, 2},
        four16{"s16le", 48000, 4};
    const struct {
        uint64_t size;
        const AudioStreamDescription& stream;
        bool aes3;
        double frameRate;
        bool fits;
    } cases[] = {
        {5760, mono24, false, 25, true},
        {7680, stereo16, false, 25, true},
        {5760, stereo16, false, 25, false},
        {7680, mono24, false, 25, false},
        {5763, mono24, false, 25, false},
        {1601 * 3, mono24, false, 29.97, true},
        {1602 * 3, mono24, false, 29.97, true},
        {1600 * 3, mono24, false, 29.97, false},
        {4 + 1920 * 32, four16, true, 25, true},
        {1920 * 32, four16, true, 25, false},
        {4 + 1920 * 32, AudioStreamDescription{"s16le", 48000, 9}, true, 25, false},
        {4, four16, true, 25, false},
        {5760, AudioStreamDescription{"", 48000, 1}, false, 25, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SoundElementMisfit(c.size, c.stream, c.aes3, c.frameRate).empty(), c.fits)
            << c.size << " bytes, " << c.stream.channels << " channels at " << c.frameRate;
    }
    EXPECT_EQ(SoundElementMisfit(5760, stereo16, false, 25),
              "element of 5760 bytes, 1920 samples of 4 bytes expected");
}

}  // namespace
}  // namespace vexmend
