#include <gtest/gtest.h>

#include <sstream>

#include "MxfAdvanceRepair/sample/SampleReport.h"
#include "MxfAdvanceRepair/feed/SoundElement.h"
#include "support/TestSupport.h"

namespace vexmend {
namespace {

// What the parser makes of a report: frame rate, first video codec, its
// four-character code and picture size, each
// audio stream as format/rate/channels/bytes a sample, and the encoder's
// arguments from the first audio line by their older, plainer rules.
std::string Parsed(const std::string& report)
{
    SampleReportParser parser;
    for (const std::string& line : test::Lines(report)) parser.Feed(line);
    std::ostringstream text;
    text << parser.FrameRate() << " " << parser.VideoCodec();
    if (!parser.VideoTag().empty()) text << "/" << parser.VideoTag();
    if (parser.Width() > 0) text << " " << parser.Width() << "x" << parser.Height();
    text << ";";
    for (const AudioStreamDescription& s : parser.AudioStreams()) {
        text << " " << s.sampleFormat << "/" << s.sampleRate << "/" << s.channels << "/"
             << s.BytesPerSample() << (s.Usable() ? "" : " unusable");
    }
    for (const std::string& arg : parser.AudioArgs()) text << " " << arg;
    return text.str();
}

// The "fps" figure of the last video line that gives one, else its "tbr"
// figure, else 30; channel layouts count their channels.
TEST(SampleReport, RatesCodecsAndAudioStreams)
{
    const struct {
        const char* report;
        const char* parsed;
    } cases[] = {
        {"Video: mpeg2video (4:2:2), yuv422p(tv, top first), 1920x1080, 25 fps, 25 tbr",
         "25 mpeg2video 1920x1080;"},
        {"Duration: 25 fps, Video: x", "30 x;"},  // no comma before fps
        {"Video: dvvideo (dvsd / 0x64737664), yuv420p, 720x576 [SAR 16:15 DAR 4:3], 25 tbr",
         "25 dvvideo/dvsd 720x576;"},
        {"Video: prores (HQ) (apch / 0x68637061), yuv422p10le(tv, progressive), 640x360, 25 tbr",
         "25 prores/apch 640x360;"},
        {"Video: h264 ([27][0][0][0] / 0x001B), 29.97 fps, 59.94 tbr", "29.97 h264;"},
        {"Video: h264, 50 tbr\nVideo: dv, 25 fps", "25 h264;"},
        {"Video: a, abc fps\nVideo: b, 1e999 fps", "30 a;"},
        {"Audio: pcm_s24le, 48000 Hz, mono, s32 (24 bit), 1152 kb/s, 25 fps\n"
         "Audio: pcm_s16le, 48000 Hz, 4.0, s16, 3072 kb/s",
         "30 ; s24le/48000/1/3 s16le/48000/4/2 -f s24le -ar 48000 -ac 1"},
        {"Audio: pcm_s24le, 44100 Hz, 5.1(side), s32 (24 bit)",
         "30 ; s24le/44100/6/3 -f s24le -ar 44100"},
        {"Audio: pcm_s32le, 96000 Hz, 8 channels, s32",
         "30 ; s32le/96000/8/4 -f s32le -ar 96000 -ac 8"},
        {"Audio: pcm_s16le ([1][0][0][0] / 0x0001), 32000 Hz, stereo",
         "30 ; s16le/32000/2/2 -f s16le([1][0][0][0]/0x0001) -ar 32000 -ac 2"},
        {"Audio: aac (LC), 48000 Hz, 7.1, fltp\nAudio: pcm_s16le, abc Hz, 1.x, 9999999 channels",
         "30 ; /48000/8/0 unusable s16le/0/0/2 unusable"},
    };
    for (const auto& c : cases) EXPECT_EQ(Parsed(c.report), c.parsed) << c.report;
}

// An AES3 element: a 4-byte header, then eight 32-bit subframes a sample
// with the audio in bits 4 to 27; channel c here holds (c + 1) * 123456h.
TEST(SoundElement, Aes3GivesItsFirstChannelsAtTheSampleDepth)
{
    std::vector<uint8_t> element{0x00, 0x01, 0x00, 0x03};
    for (uint32_t c = 0; c < 8; ++c) {
        const uint32_t bits = (0x123456u * (c + 1) & 0xFFFFFF) << 4 | c | 0x10000000u;
        for (int b = 0; b < 4; ++b) element.push_back(static_cast<uint8_t>(bits >> 8 * b));
    }
    using Bytes = std::vector<uint8_t>;
    EXPECT_EQ(UnpackAes3(element.data(), 36, 2, 3), (Bytes{0x56, 0x34, 0x12, 0xAC, 0x68, 0x24}));
    EXPECT_EQ(UnpackAes3(element.data(), 36, 1, 2), (Bytes{0x34, 0x12}));
    EXPECT_TRUE(UnpackAes3(element.data(), 35, 1, 3).empty());
}

}  // namespace
}  // namespace vexmend
