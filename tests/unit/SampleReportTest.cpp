#include <gtest/gtest.h>

#include "MxfAdvanceRepair/SampleReport.h"
#include "support/TestSupport.h"

namespace vexmend {
namespace {

using Args = std::vector<std::string>;

SampleReportParser Parse(const std::string& report)
{
    SampleReportParser parser;
    for (const std::string& line : test::Lines(report)) parser.Feed(line);
    return parser;
}

// Every audio line keeps its own description; layouts count their channels.
TEST(SampleReport, EachAudioStreamIsDescribed)
{
    const struct {
        const char* line;
        const char* format;
        int rate, channels, bytes;
    } cases[] = {
        {"Audio: pcm_s24le, 48000 Hz, mono, s32 (24 bit), 1152 kb/s", "s24le", 48000, 1, 3},
        {"Audio: pcm_s16le, 48000 Hz, 4.0, s16, 3072 kb/s", "s16le", 48000, 4, 2},
        {"Audio: pcm_s24le, 44100 Hz, 5.1(side), s32 (24 bit)", "s24le", 44100, 6, 3},
        {"Audio: pcm_s32le, 96000 Hz, 8 channels, s32", "s32le", 96000, 8, 4},
        {"Audio: pcm_s16le ([1][0][0][0] / 0x0001), 32000 Hz, stereo", "s16le", 32000, 2, 2},
        {"Audio: aac (LC), 48000 Hz, 7.1, fltp", "", 48000, 8, 0},
        {"Audio: pcm_s24daud, 96000 Hz, 5.1", "s24daud", 96000, 6, 0},
        {"Audio: pcm_u8, 8000 Hz, 1 channels, u8", "u8", 8000, 1, 1},
        {"Audio: pcm_s16le, abc Hz, 1.x, 9999999 channels", "s16le", 0, 0, 2},
    };
    std::string report;
    for (const auto& c : cases) report += c.line + std::string("\n");
    SampleReportParser parser = Parse(report);
    ASSERT_EQ(parser.AudioStreams().size(), std::size(cases));
    EXPECT_EQ(parser.AudioStreamCount(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].line);
        const AudioStreamDescription& stream = parser.AudioStreams()[i];
        EXPECT_EQ(stream.sampleFormat, cases[i].format);
        EXPECT_EQ(stream.sampleRate, cases[i].rate);
        EXPECT_EQ(stream.channels, cases[i].channels);
        EXPECT_EQ(stream.BytesPerSample(), cases[i].bytes);
        EXPECT_EQ(stream.Usable(), cases[i].bytes * cases[i].rate * cases[i].channels > 0);
    }
    EXPECT_EQ(parser.AudioStreams()[1].Arguments(),
              (Args{"-f", "s16le", "-ar", "48000", "-ac", "4"}));
    // The encoder's arguments come from the first audio line, when it is PCM.
    EXPECT_EQ(parser.AudioArgs(), (Args{"-f", "s24le", "-ar", "48000", "-ac", "1"}));
    EXPECT_TRUE(Parse("Audio: aac, 48000 Hz, stereo\nAudio: pcm_s16le, 48000 Hz, mono")
                    .AudioArgs()
                    .empty());
    EXPECT_FALSE(Parse("Stream #0:0: Video: mpeg2video, 25 fps").AudioLineSeen());
}

// The "fps" figure of the last video line that gives one, else its "tbr"
// figure, else 30; the codec of the first video line.
TEST(SampleReport, FrameRateAndCodecRules)
{
    const struct {
        const char* report;
        double rate;
        const char* codec;
    } cases[] = {
        {"Video: mpeg2video (4:2:2), yuv422p(tv, top first), 1920x1080, 25 fps, 25 tbr", 25.0,
         "mpeg2video"},
        {"Video: mpeg2video, yuv420p, 1920x1080, 29.97 fps, 29.97 tbr", 29.97, "mpeg2video"},
        {"Video: mpeg2video, 1920x1080", 30.0, "mpeg2video"},
        {"Duration: 25 fps, Video: x", 30.0, "x"},  // no comma before fps
        {"Video: dvvideo, yuv420p, 720x576, 25 tbr, 25 tbn", 25.0, "dvvideo"},
        {"Video: h264, 29.97 fps, 59.94 tbr", 29.97, "h264"},
        {"Video: h264, 50 tbr\nVideo: dv, 25 fps", 25.0, "h264"},
        {"Video: a, 25 fps\nVideo: b, 50 fps", 50.0, "a"},
        {"Audio: pcm_s16le, 48000 Hz, 25 fps", 30.0, ""},
    };
    for (const auto& c : cases) {
        SampleReportParser parser = Parse(c.report);
        EXPECT_DOUBLE_EQ(parser.FrameRate(), c.rate) << c.report;
        EXPECT_EQ(parser.VideoCodec(), c.codec) << c.report;
    }
    SampleReportParser parser;
    for (const char* line : {"Video: mpeg2video, abc fps", "Video: mpeg2video, 1e999 fps"}) {
        EXPECT_EQ(parser.Feed(line), SampleReportParser::LineResult::BadFrameRate);
    }
    EXPECT_DOUBLE_EQ(parser.FrameRate(), 30.0);
}

}  // namespace
}  // namespace vexmend
