#include <gtest/gtest.h>

#include "MxfAdvanceRepair/SampleReport.h"

namespace vexmend {
namespace {

using Args = std::vector<std::string>;

SampleReportParser Parse(const std::vector<std::string>& lines)
{
    SampleReportParser parser;
    for (const std::string& line : lines) parser.Feed(line);
    return parser;
}

TEST(SampleReport, VideoAndStereoPcmLines)
{
    SampleReportParser parser = Parse(
        {"  Stream #0:0: Video: mpeg2video (4:2:2), yuv422p(tv, top first), 1920x1080 [SAR 1:1 DAR "
         "16:9], 25 fps, 25 tbr, 25 tbn",
         "  Stream #0:1: Audio: pcm_s16le, 48000 Hz, 2 channels, s16, 1536 kb/s"});
    EXPECT_DOUBLE_EQ(parser.FrameRate(), 25.0);
    EXPECT_EQ(parser.AudioStreamCount(), 1u);
    EXPECT_EQ(parser.AudioArgs(), (Args{"-f", "s16le", "-ar", "48000", "-ac", "2"}));
    EXPECT_TRUE(parser.AudioLineSeen());
    EXPECT_EQ(parser.VideoCodec(), "mpeg2video");
    EXPECT_EQ(Parse({"Stream #0:0: Video: h264, yuv420p", "Stream #0:1: Video: hevc"}).VideoCodec(),
              "h264");
}

TEST(SampleReport, ChannelLayoutsAndFirstAudioLineOnly)
{
    EXPECT_EQ(Parse({"Stream #0:1: Audio: pcm_s24le, 48000 Hz, stereo, s32 (24 bit), 2304 kb/s"})
                  .AudioArgs(),
              (Args{"-f", "s24le", "-ar", "48000", "-ac", "2"}));
    EXPECT_EQ(Parse({"Stream #0:1: Audio: pcm_s24le, 48000 Hz, mono, s32 (24 bit), 1152 kb/s"})
                  .AudioArgs(),
              (Args{"-f", "s24le", "-ar", "48000", "-ac", "1"}));
    std::vector<std::string> four;
    for (int i = 1; i <= 4; ++i) {
        four.push_back("Stream #0:" + std::to_string(i) + ": Audio: pcm_s24le, 4800" +
                       std::to_string(i) + " Hz, 1 channels, s32 (24 bit)");
    }
    SampleReportParser parser = Parse(four);
    EXPECT_EQ(parser.AudioStreamCount(), 4u);
    EXPECT_EQ(parser.AudioArgs(), (Args{"-f", "s24le", "-ar", "48001", "-ac", "1"}));
}

TEST(SampleReport, NonPcmAudioIsCountedWithoutArguments)
{
    SampleReportParser parser = Parse({"Stream #0:1: Audio: aac (LC), 48000 Hz, stereo, fltp"});
    EXPECT_TRUE(parser.AudioArgs().empty());
    EXPECT_EQ(parser.AudioStreamCount(), 1u);
    EXPECT_TRUE(parser.AudioLineSeen());
    // Nothing after "pcm_": no sample format, so no arguments at all.
    EXPECT_TRUE(Parse({"Audio: pcm_,,"}).AudioArgs().empty());
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
    std::vector<std::string> lines;
    for (const auto& c : cases) lines.push_back(c.line);
    SampleReportParser parser = Parse(lines);
    ASSERT_EQ(parser.AudioStreams().size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const AudioStreamDescription& stream = parser.AudioStreams()[i];
        EXPECT_EQ(stream.sampleFormat, cases[i].format) << cases[i].line;
        EXPECT_EQ(stream.sampleRate, cases[i].rate) << cases[i].line;
        EXPECT_EQ(stream.channels, cases[i].channels) << cases[i].line;
        EXPECT_EQ(stream.BytesPerSample(), cases[i].bytes) << cases[i].line;
        EXPECT_EQ(stream.Usable(),
                  cases[i].bytes > 0 && cases[i].rate > 0 && cases[i].channels > 0);
    }
    EXPECT_EQ(parser.AudioStreams()[1].Arguments(),
              (Args{"-f", "s16le", "-ar", "48000", "-ac", "4"}));
    // The first stream's arguments and the count keep their old rules.
    EXPECT_EQ(parser.AudioArgs(), (Args{"-f", "s24le", "-ar", "48000", "-ac", "1"}));
    EXPECT_EQ(parser.AudioStreamCount(), std::size(cases));
}

TEST(SampleReport, FrameRateRules)
{
    EXPECT_DOUBLE_EQ(
        Parse({"Stream #0:0: Video: mpeg2video, yuv420p, 1920x1080, 29.97 fps, 29.97 tbr"})
            .FrameRate(),
        29.97);
    EXPECT_DOUBLE_EQ(Parse({"Stream #0:0: Video: mpeg2video, 1920x1080"}).FrameRate(), 30.0);
    EXPECT_DOUBLE_EQ(Parse({"Duration: 25 fps, Video: x"}).FrameRate(),
                     30.0);  // no comma before fps
    // Without an "fps" figure the "tbr" one counts; with one, it wins.
    EXPECT_DOUBLE_EQ(
        Parse({"Stream #0:0: Video: dvvideo, yuv420p, 720x576, 25 tbr, 25 tbn"}).FrameRate(), 25.0);
    EXPECT_DOUBLE_EQ(Parse({"Video: h264, 29.97 fps, 59.94 tbr"}).FrameRate(), 29.97);
    EXPECT_DOUBLE_EQ(Parse({"Video: h264, 50 tbr", "Video: dv, 25 fps"}).FrameRate(), 25.0);
    // The last video line that gives a rate wins.
    EXPECT_DOUBLE_EQ(Parse({"Video: a, 25 fps", "Video: b, 50 fps"}).FrameRate(), 50.0);

    SampleReportParser parser;
    EXPECT_EQ(parser.Feed("Video: mpeg2video, abc fps"),
              SampleReportParser::LineResult::BadFrameRate);
    EXPECT_DOUBLE_EQ(parser.FrameRate(), 30.0);
    EXPECT_EQ(parser.Feed("Video: mpeg2video, 1e999 fps"),
              SampleReportParser::LineResult::BadFrameRate);
    EXPECT_FALSE(Parse({"Stream #0:0: Video: mpeg2video, 25 fps"}).AudioLineSeen());
}

TEST(SampleReport, SplitAndRemoveSpaces)
{
    EXPECT_EQ(SplitString(",a,,b,", ","), (Args{"a", "b"}));
    EXPECT_EQ(SplitString("abc", ","), (Args{"abc"}));
    EXPECT_TRUE(SplitString("", ",").empty());
    EXPECT_TRUE(SplitString(",,,", ",").empty());
    EXPECT_TRUE(SplitString("a,b", "").empty());
    EXPECT_EQ(SplitString("a;b,c", ";,"), (Args{"a", "b", "c"}));
    EXPECT_EQ(RemoveSpaces(" 48000 "), "48000");
    EXPECT_EQ(RemoveSpaces(" s32 (24 bit)"), "s32(24bit)");
    EXPECT_EQ(RemoveSpaces("   "), "");
    EXPECT_EQ(RemoveSpaces("a\tb"), "a\tb");
}

}  // namespace
}  // namespace vexmend
