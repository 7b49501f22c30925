#include <gtest/gtest.h>

#include <cstring>

#include "MxfAdvanceRepair/codecs/EssenceParser.h"
#include "MxfAdvanceRepair/codecs/RawVideoInput.h"
#include "MxfAdvanceRepair/plan/ContentPackages.h"
#include "MxfAdvanceRepair/plan/StartTimecode.h"

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

// A ProRes frame of `size` bytes whose frame header is `header` bytes.
Bytes ProRes(uint8_t size, uint8_t header, const char* id = "icpf")
{
    Bytes frame{0, 0, 0, size, 0, 0, 0, 0, 0, header, 0, 0, 'f', 'm', 'p', 'g', 2, 0x80, 1, 0x68};
    std::memcpy(&frame[4], id, 4);
    frame.resize(size);
    return frame;
}

// A JPEG 2000 codestream of three components (38 + 3 * 3 bytes of image
// and tile size), its coded data `data`, then its end.
Bytes Jpeg2000(const Bytes& data)
{
    return Join({{0xFF, 0x4F, 0xFF, 0x51, 0, 47}, Bytes(47 - 2, 0x11), data, {0xFF, 0xD9}});
}
const Bytes kJp2{0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A, 0, 0, 0, 0x14};

TEST(EssenceParser, StreamHeaderBeforeTheFirstPictureAndTheCodecOfAFrame)
{
    // A ProRes frame whose coded data holds what looks like a frame header,
    // one whose size is damaged, and a JPEG 2000 codestream whose coded data
    // holds a codestream start.
    const Bytes proResPair = Join({ProRes(32, 20), ProRes(40, 20)});
    Bytes proResInside = proResPair, proResDamaged = proResPair;
    std::copy_n(proResPair.begin(), 12, proResInside.begin() + 16);
    proResDamaged[3] = 36;
    const Bytes jpeg2000 = Jpeg2000({0xFF, 0x4F, 0xFF, 0x51, 0, 41, 0x22});
    const struct {
        const char* codec;
        Bytes frame;
        size_t headerLength;
        bool startsWithHeader;
        const char* codecOfFrame;
        size_t secondFrame;  // where the frame after the first begins; 0 for none
    } cases[] = {
        // clang-format off
        {"mpeg2video", Join({kMpegSequence, kMpegIPicture}), kMpegSequence.size(), true, "mpeg2video", 0},
        {"mpeg1video", Join({{0, 0, 1, 0xB8, 1}, kMpegBPicture}), 5, false, "mpeg2video", 0},
        {"mpeg2video", kMpegBPicture, 0, false, "mpeg2video", 0},
        {"mpeg2video", Join({kMpegIPicture, kMpegSequence, kMpegBPicture}), 0, false, "mpeg2video", 13},
        // One zero before 01 is no start code prefix.
        {"mpeg2video", Join({{0x05, 0, 1, 0xB3}, kMpegIPicture}), 4, false, "unknown", 0},
        // H.264: SPS, PPS, then an IDR slice behind a four-byte start code.
        {"h264", {0, 0, 0, 1, 0x67, 0x64, 0, 0, 0, 1, 0x68, 0xEE, 0, 0, 0, 1, 0x65, 0x88}, 12, true, "h264", 0},
        {"h264", {0, 0, 0, 1, 0x09, 0x10, 0, 0, 1, 0x41, 0x9A}, 6, false, "h264", 0},
        // AVC-Intra: delimiter, SPS (High 4:2:2 Intra), PPS, filler, SEI, IDR slice.
        {"h264", {0, 0, 0, 1, 0x09, 0x10, 0, 0, 0, 1, 0x67, 0x7A, 0, 0, 0, 1, 0x68, 0xEE, 0, 0, 1, 0x0C,
                  0xFF, 0, 0, 1, 0x06, 0x05, 0, 0, 1, 0x65, 0x88, 0, 0, 0, 1, 0x09, 0x10}, 28, true, "h264", 33},
        // HEVC: VPS, SPS, then an IDR slice.
        {"hevc", {0, 0, 1, 0x40, 0x01, 0x0C, 0, 0, 1, 0x42, 0x01, 0x01, 0, 0, 1, 0x26, 0x01}, 12, true, "hevc", 0},
        {"hevc", {0, 0, 1, 0x02, 0x01, 0xD0}, 0, false, "hevc", 0},
        {"dvvideo", {0x1F, 0x07, 0x00, 0x3F}, 0, true, "dvvideo", 0},
        {"dnxhd", {0, 0, 2, 0x80, 1, 1}, 0, true, "dnxhd", 0},
        {"mpeg2video", {0, 0, 1}, 0, false, "unknown", 0},
        // ProRes: the next frame where the first one's size says.
        {"prores", proResPair, 0, true, "prores", 32},
        {"prores", proResInside, 0, true, "prores", 32},
        {"prores", proResDamaged, 0, true, "prores", 32},
        {"prores", ProRes(27, 20), 0, true, "unknown", 0},  // smaller than its header
        {"prores", ProRes(32, 19), 0, true, "unknown", 0},
        {"prores", ProRes(28, 20, "icpg"), 0, true, "unknown", 0},
        // JPEG 2000: the next codestream after the first one's end.
        {"jpeg2000", Join({jpeg2000, jpeg2000}), 0, true, "jpeg2000", jpeg2000.size()},
        {"jpeg2000", Join({kJp2, jpeg2000, kJp2, jpeg2000}), 0, true, "jpeg2000", 16 + jpeg2000.size()},
        {"jpeg2000", {0xFF, 0x4F, 0xFF, 0x51, 0, 42}, 0, true, "unknown", 0},
        {"jpeg2000", {0xFF, 0x4F, 0xFF, 0x52, 0, 41}, 0, true, "unknown", 0},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.codec) + " frame of " + std::to_string(c.frame.size()));
        const EssenceParser& parser = FindEssenceParser(c.codec);
        EXPECT_EQ(parser.StreamHeaderLength(c.frame.data(), c.frame.size()), c.headerLength);
        EXPECT_EQ(parser.StartsWithStreamHeader(c.frame.data(), c.frame.size()),
                  c.startsWithHeader);
        EXPECT_EQ(CodecOfFrame(c.frame.data(), c.frame.size()), c.codecOfFrame);
        bool inPicture = false;
        const size_t size = c.frame.size(),
                     next = parser.NextFrameStart(c.frame.data(), size, 0, size, inPicture);
        EXPECT_EQ(next == size ? 0 : next, c.secondFrame);
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

// A system item whose metadata pack's user date/time stamp is the SMPTE 12M
// timecode `hours:minutes:seconds:frames` (drop frame when `drop`), with bit
// 7 of the seconds and of the hours byte from `marks` (bit 0 and bit 1).
Bytes SystemItem(int hours, int minutes, int seconds, int frames, bool drop, int marks = 0)
{
    auto bcd = [](int value) { return static_cast<uint8_t>(value / 10 << 4 | value % 10); };
    Bytes item(mxf::kSystemMetadataPack.bytes, mxf::kSystemMetadataPack.bytes + 16);
    Bytes value(57, 0);
    value[40] = 0x81;
    value[41] = static_cast<uint8_t>(bcd(frames) | (drop ? 0x40 : 0));
    value[42] = static_cast<uint8_t>(bcd(seconds) | (marks & 1) << 7);
    value[43] = bcd(minutes);
    value[44] = static_cast<uint8_t>(bcd(hours) | (marks & 2) << 6);
    item.push_back(57);
    return Join({item, value});
}

// The result's timecode: the first packages' system items, else the
// pictures' own, counted back to the first picture, at every rate. Above 30
// frames a second SMPTE 12M counts frame pairs, the pair's second marked in
// the hours (50) or the seconds (59.94); DV sets both marks always.
TEST(StartTimecode, FromSystemItemsOrPicturesCountedBackToTheFirstPicture)
{
    const Bytes picture(40, 0x55), gop{0, 0, 1, 0xB8, 0x04, 0x28, 0x62, 0x00};
    const Bytes gopTenMinutes{0, 0, 1, 0xB8, 0xA8, 0xA8, 0x00, 0x00};  // 10:10:00;00
    const Bytes dv = Join({{0x1F, 0x07, 0x00, 0xBF}, Bytes(82), {0x13, 0x01, 0x80, 0x80, 0xD0}});
    const struct {
        const char* name;
        std::vector<Bytes> packages;  // what comes before each picture
        std::vector<Bytes> pictures;
        double rate;
        const char* expected;
        const EssenceParser& (*parser)() = MpegVideoParser;
    } rows[] = {
        {"system item of the second package",
         {Bytes(8), SystemItem(10, 0, 0, 5, false)},
         {picture, picture},
         25,
         "10:00:00:04"},
        {"drop frame back over a minute",
         {Bytes(8), Bytes(8), SystemItem(10, 1, 0, 2, true)},
         {picture, picture, picture},
         30000.0 / 1001,
         "10:00:59;28"},
        {"a system item beats the pictures' own",
         {SystemItem(9, 0, 0, 0, false), Bytes(8)},
         {picture, Join({gop, kMpegIPicture})},
         25,
         "09:00:00:00"},
        {"the second picture's GOP header",
         {Bytes(8), Bytes(8)},
         {Join({kMpegBPicture}), Join({gop, kMpegIPicture})},
         25,
         "01:02:03:03"},
        {"none", {Bytes(8)}, {picture}, 25, "none"},
        {"50p: frame 3, pair 1 and the hours' mark",
         {Bytes(8), Bytes(8), SystemItem(10, 0, 0, 1, false, 2)},
         {picture, picture, picture},
         50,
         "10:00:00:01"},
        {"59.94 drop frame: frame 5, pair 2 and the seconds' mark, back over a minute",
         {Bytes(8), Bytes(8), SystemItem(10, 1, 0, 2, true, 1)},
         {picture, picture, picture},
         60000.0 / 1001,
         "10:00:59;59"},
        {"59.94 drop frame GOP header counts frames, back over a tenth minute",
         {Bytes(8), Bytes(8)},
         {picture, Join({gopTenMinutes, kMpegIPicture})},
         60000.0 / 1001,
         "10:09:59;59"},
        {"DV at 50p: a pair read as its first frame",
         {Bytes(8), Bytes(8)},
         {picture, dv},
         50,
         "10:00:00:01",
         DvParser},
    };
    for (const auto& row : rows) {
        Bytes file;
        std::vector<EssenceSample> pictures;
        for (size_t i = 0; i < row.pictures.size(); ++i) {
            file.insert(file.end(), row.packages[i].begin(), row.packages[i].end());
            pictures.push_back({1, row.pictures[i].size(), file.size(), EssenceKind::Video, 0});
            file.insert(file.end(), row.pictures[i].begin(), row.pictures[i].end());
        }
        auto read = [&file](uint64_t offset, uint8_t* destination, uint64_t count) {
            count = std::min<uint64_t>(count, offset < file.size() ? file.size() - offset : 0);
            std::memcpy(destination, file.data() + offset, count);
            return count;
        };
        const auto found = FindStartTimecode(read, pictures, row.parser(), row.rate);
        EXPECT_EQ(found ? found->Text() : "none", row.expected) << row.name;
    }
}

// The result's content packages from a file laid out as pictures (P) and
// one track's sound elements (S) in file order: sound keeps to the picture
// before it, a lost picture's sound repeats a picture (intra-only) or is
// left out (long GOP), and the packages before the first key frame show it.
TEST(PackagePlan, SoundKeepsStepWithThePictures)
{
    const struct {
        const char* layout;
        size_t firstKey;
        bool intraOnly;
        size_t shown;          // pictures the result may show, from the first
        const char* expected;  // picture/sound of each frame; frozen, repeated, left out
    } rows[] = {
        {"SPSPSSPS", 0, false, 3, "0/1 1/2 2/4 | 0 0 2"},
        {"SPSPSSPS", 0, true, 3, "0/1 1/2 1/3 2/4 | 0 1 1"},
        {"SPSPSSPS", 1, false, 3, "1/1 1/2 2/4 | 1 0 2"},
        {"PSPPS", 0, false, 3, "0/0 1/- 2/1 | 0 0 0"},
        {"SPSPSSPS", 0, true, 2, "0/1 1/2 1/3 | 0 1 2"},
        {"SPSPSSPS", 2, false, 2, "0/1 1/2 | 0 0 3"},
    };
    for (const auto& row : rows) {
        std::vector<EssenceSample> pictures, sounds;
        for (uint64_t at = 0; row.layout[at] != 0; ++at) {
            (row.layout[at] == 'P' ? pictures : sounds)
                .push_back(
                    {1, 1, at, row.layout[at] == 'P' ? EssenceKind::Video : EssenceKind::Audio, 0});
        }
        std::vector<const EssenceSample*> track;
        for (const EssenceSample& sound : sounds) track.push_back(&sound);
        const PackagePlan plan = PlanPackages(pictures, row.firstKey, row.intraOnly, row.shown,
                                              {track});
        std::string text;
        for (const OutputFrame& frame : plan.frames) {
            const EssenceSample* sound = frame.sounds[0];
            text += std::to_string(frame.picture) + "/" +
                    (sound ? std::to_string(sound - sounds.data()) : "-") + " ";
        }
        text += "| " + std::to_string(plan.frozen) + " " + std::to_string(plan.repeated) + " " +
                std::to_string(plan.soundLeftOut);
        EXPECT_EQ(text, row.expected) << row.layout << " " << row.firstKey << row.intraOnly;
    }
}

}  // namespace
}  // namespace vexmend
