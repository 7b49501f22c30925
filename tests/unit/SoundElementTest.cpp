#include <gtest/gtest.h>

#include "MxfAdvanceRepair/SoundElement.h"

namespace vexmend {
namespace {

// A hand-made AES3 element of two samples of eight subframes: the audio in
// bits 4 to 27, the channel number in bits 0 to 2.
TEST(SoundElement, Aes3IsUnpackedToItsFirstChannelsAtTheSampleDepth)
{
    const uint32_t audio[16] = {0x123456, 0xABCDEF, 0x000001, 0xFFFFFF, 5, 6, 7, 8,
                                0x7FFFFF, 0x800000, 0x010203, 0x0A0B0C, 5, 6, 7, 8};
    std::vector<uint8_t> element{0x00, 0x02, 0x00, 0x0F};  // 2 samples, channels 1-4 valid
    for (uint32_t i = 0; i < 16; ++i) {
        const uint32_t bits = audio[i] << 4 | i % 8 | 0x10000000u;
        for (int b = 0; b < 4; ++b) element.push_back(static_cast<uint8_t>(bits >> (8 * b)));
    }
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

// A sound element holds one video frame of its stream's samples: at 29.97
// frames a second 1601 or 1602 of them; AES3 after a 4-byte header, always
// eight 4-byte channels.
TEST(SoundElement, ElementsFitOneFrameOfTheStream)
{
    const AudioStreamDescription mono24{"s24le", 48000, 1}, stereo16{"s16le", 48000, 2},
        four16{"s16le", 48000, 4}, nine16{"s16le", 48000, 9}, unknown{"", 48000, 1};
    const struct {
        uint64_t size;
        const AudioStreamDescription& stream;
        bool aes3;
        double frameRate;
        bool fits;
    } cases[] = {
        {5760, mono24, false, 25, true},         {7680, stereo16, false, 25, true},
        {5760, stereo16, false, 25, false},      {5763, mono24, false, 25, false},
        {1601 * 3, mono24, false, 29.97, true},  {1602 * 3, mono24, false, 29.97, true},
        {1600 * 3, mono24, false, 29.97, false}, {4 + 1920 * 32, four16, true, 25, true},
        {1920 * 32, four16, true, 25, false},    {4 + 1920 * 32, nine16, true, 25, false},
        {5760, unknown, false, 25, false},
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
