#include <cmath>
#include <thread>

#include "repair/RepairFixture.h"

namespace vexmend::test {
namespace {

struct Layout {
    const char* name;
    MediaSpec spec;
    double rate;
    int tracks;                           // audio tracks of the result, each with its stream's tone
    MediaSpec sampleSpec = MediaSpec{0};  // frames 0: the damaged file's
    const char* warning = "";
    bool soundElementLost = false;
};

void PrintTo(const Layout& layout, std::ostream* out) { *out << layout.name; }

class AdvanceRepair : public RepairTest, public ::testing::WithParamInterface<Layout> {};

// A damaged file that ffmpeg no longer reads as MXF is rebuilt from its
// frames with the sample's frame rate and every audio track it describes.
TEST_P(AdvanceRepair, RebuildsAFileWhoseHeaderAndFooterAreDestroyed)
{
    const Layout& layout = GetParam();
    std::string sample = media / "sample.mxf";
    std::string damaged = media / "damaged clip.mxf";
    MakeMxf(sample, layout.sampleSpec.frames == 0 ? layout.spec : layout.sampleSpec);
    MakeMxf(damaged, layout.spec);
    DestroyHeaderAndFooter(damaged);
    std::vector<uint8_t> bytes = ReadBytes(damaged);
    std::vector<ReferenceElement> elements = ReferenceWalk(bytes);
    int64_t videoFrames = std::count_if(elements.begin(), elements.end(),
                                        [](const ReferenceElement& e) { return e.kind == 0; });
    ASSERT_GE(videoFrames, 5);
    if (layout.soundElementLost) {
        // The third track's element of the fifth frame loses its key.
        int sound = 0;
        for (const ReferenceElement& e : elements) {
            if (e.kind == 1 && sound++ == 4 * layout.spec.audioStreams + 2) bytes[e.key] = 0;
        }
        WriteBytes(damaged, bytes);
    }
    uint64_t damagedHash = HashFile(damaged), sampleHash = HashFile(sample);
    std::string output = media / "out/repaired.mxf";

    ASSERT_EQ(QorMxfAdvanceRepair(damaged.c_str(), sample.c_str(), output.c_str()), VEXMEND_OK);
    ProbeResult probe = Probe(output);
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.videoStreams, 1);
    EXPECT_NEAR(probe.videoFrames, videoFrames, 1);
    EXPECT_NEAR(probe.frameRate, layout.rate, 0.01);
    EXPECT_NEAR(probe.duration, videoFrames / layout.rate, 0.02 * videoFrames / layout.rate);
    ASSERT_EQ(probe.audioStreams, layout.tracks);
    for (int i = 0; i < layout.tracks; ++i) {
        EXPECT_EQ(probe.audioCodecs.at(i), layout.spec.audioCodec);
        EXPECT_GT(ToneShare(output, i, 440 + 110 * i), 0.8) << "track " << i;
    }
    if (layout.tracks > 0) {
        EXPECT_EQ(probe.sampleRate, layout.spec.sampleRate);
        EXPECT_EQ(probe.channels, layout.spec.channels);
    }
    EXPECT_TRUE(Logged(layout.warning));

    EXPECT_EQ(HashFile(damaged), damagedHash);
    EXPECT_EQ(HashFile(sample), sampleHash);
    EXPECT_FALSE(Exists(work / "work/AdvanceRepairedVideo/damaged clip.mxf"));
    EXPECT_FALSE(Exists(work / "work/AdvanceRepairedVideo/damaged clip_Video.dat"));
    EXPECT_FALSE(Exists(work / "work/AdvanceRepairedVideo/damaged clip_Audio.dat"));
    EXPECT_FALSE(Exists(work / "work/AdvanceRepairedVideo/damaged clip_Audio2.dat"));
    EXPECT_TRUE(Logged(") [AdvanceRepair] Start repair: " + damaged));
    EXPECT_TRUE(Logged(") [AdvanceRepair] Sample video: " + sample));
    EXPECT_TRUE(Logged(") [mxf] Video samples counts is:  " + std::to_string(videoFrames)));
    EXPECT_TRUE(Logged(") AdvanceRepair Completed,advance out file: " + output));
    EXPECT_TRUE(
        Logged(") AdvanceRepair Completed,advance file: VideoRepairManager::AdvanceRepair"));
}

const MediaSpec kEightMonoS24{50, "25", "pcm_s24le", 1, 8, 48000};

INSTANTIATE_TEST_SUITE_P(
    Layouts, AdvanceRepair,
    ::testing::Values(
        Layout{"s16le_stereo_25", MediaSpec{50, "25", "pcm_s16le", 2, 1, 48000}, 25.0, 1},
        Layout{"s24le_stereo_2997", MediaSpec{60, "30000/1001", "pcm_s24le", 2, 1, 48000}, 29.97,
               1},
        Layout{"s24le_eight_mono_25", kEightMonoS24, 25.0, 8},
        Layout{"s24le_eight_mono_one_sound_element_lost", kEightMonoS24, 25.0, 8, MediaSpec{0}, "",
               true},
        Layout{"s16le_two_mono_25", MediaSpec{50, "25", "pcm_s16le", 1, 2, 48000}, 25.0, 2},
        Layout{"stereo_s16le_sample_for_two_mono_s24le", MediaSpec{50, "25", "pcm_s24le", 1, 2},
               25.0, 0, MediaSpec{50, "25", "pcm_s16le", 2, 1},
               "[MXF] sound elements of a track the sample does not describe, left out:"},
        Layout{"stereo_s16le_sample_for_mono_s24le", MediaSpec{50, "25", "pcm_s24le", 1, 1}, 25.0,
               0, MediaSpec{50, "25", "pcm_s16le", 2, 1},
               "[MXF] audio track left out, its sound elements do not fit the sample: track 1"},
        Layout{"video_only_sample", MediaSpec{50, "25", "pcm_s16le", 2, 1}, 25.0, 0,
               MediaSpec{50, "25", "pcm_s16le", 2, 0}}),
    [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

class AdvanceRepairFailure : public RepairTest {};

TEST_F(AdvanceRepairFailure, MissingPathsAreRefusedWithoutRecords)
{
    EXPECT_EQ(QorMxfAdvanceRepair("a.mxf", nullptr, "o.mxf"), VEXMEND_MISSING_PATH);
    EXPECT_EQ(QorMxfAdvanceRepair(nullptr, "s.mxf", "o.mxf"), VEXMEND_MISSING_PATH);
    EXPECT_FALSE(Logged("[AdvanceRepair]"));
}

TEST_F(AdvanceRepairFailure, TooFewFramesAndMissingFilesFail)
{
    std::string sample = media / "sample.mxf";
    MakeMxf(sample, MediaSpec{});
    std::vector<uint8_t> bytes = ReadBytes(sample);
    std::vector<ReferenceElement> elements = ReferenceWalk(bytes);
    // Keep the file up to the fourth video frame's key only.
    int seen = 0;
    uint64_t cut = bytes.size();
    for (const ReferenceElement& e : elements) {
        if (e.kind == 0 && ++seen == 5) {
            cut = e.key;
            break;
        }
    }
    bytes.resize(cut);
    WriteBytes(media / "short.mxf", bytes);
    EXPECT_EQ(QorMxfAdvanceRepair((media / "short.mxf").c_str(), sample.c_str(),
                                  (media / "o.mxf").c_str()),
              VEXMEND_ADVANCE_FAILED);
    EXPECT_TRUE(Logged(") [MXF] video frame is less than 5. -1"));
    EXPECT_FALSE(OpenInThisProcess(media / "short.mxf"));

    EXPECT_EQ(QorMxfAdvanceRepair((media / "none.mxf").c_str(), sample.c_str(),
                                  (media / "o.mxf").c_str()),
              VEXMEND_ADVANCE_FAILED);
    EXPECT_TRUE(
        Logged(") [Sprt] The file does not exist or is not accessible for other reasons,file is: " +
               media / "none.mxf"));
    EXPECT_TRUE(Logged(") [Sprt] Open file stream failed,file is: " + media / "none.mxf"));
    EXPECT_TRUE(Logged(") [Sprt] create file stream failed. MxfAdvanceRepair::Repair"));
    EXPECT_FALSE(Exists(media / "o.mxf"));
    EXPECT_FALSE(Exists(work / "work/AdvanceRepairedVideo/short_Video.dat"));
    // Both repairs used the same sample: it was probed once.
    EXPECT_EQ(CountLogged("[AnalyzeSampleVideo] probe sample:"), 1u);
}

// Six picture elements that the encoder cannot wrap: the scan finds frames,
// the merge fails.
TEST_F(AdvanceRepairFailure, FailedMergeIsAFailureAndNoEarlierResultPassesForIt)
{
    std::string sample = media / "sample.mxf";
    MakeMxf(sample, MediaSpec{});
    // MPEG-2 frames of a profile and level that MXF has no label for.
    const std::vector<uint8_t> frame{0x00, 0x00, 0x01, 0xB3, 0x14, 0x01, 0x00, 0x13, 0x2F, 0xFF,
                                     0xFF, 0xF8, 0x00, 0x00, 0x01, 0xB5, 0x1F, 0xFF, 0x00, 0x01,
                                     0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x10, 0xFF, 0xFF};
    std::vector<uint8_t> noise;
    for (int i = 0; i < 6; ++i) {
        noise.insert(noise.end(), {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02, 0x01, 0x01, 0x0D, 0x01, 0x03,
                                   0x01, 0x15, 0x01, 0x05, 0x00, 0x82, 0x10, 0x00});
        noise.insert(noise.end(), frame.begin(), frame.end());
        noise.insert(noise.end(), 0x1000 - frame.size(), 0x55);
    }
    WriteBytes(media / "noise.mxf", noise);
    std::string leftover = work / "work/AdvanceRepairedVideo/noise.mxf";
    RunShell("mkdir -p " + Quote(work / "work/AdvanceRepairedVideo"));
    WriteBytes(leftover, {'o', 'l', 'd'});

    EXPECT_EQ(QorMxfAdvanceRepair((media / "noise.mxf").c_str(), sample.c_str(),
                                  (media / "o.mxf").c_str()),
              VEXMEND_ADVANCE_FAILED);
    EXPECT_TRUE(Logged(") [MXF] encoder failed, exit status: "));
    EXPECT_TRUE(Logged(") [GetRepairedVideo]merge audio and video file by ffmpeg failed. -1"));
    EXPECT_TRUE(Logged(") Advance Repair failed VideoRepairManager::AdvanceRepair"));
    EXPECT_FALSE(Exists(leftover));
    EXPECT_FALSE(Exists(media / "o.mxf"));
}

// The encoders run on the null device: a host whose standard input is full
// of "q" (the encoder's quit key) gets the whole result, and nothing lands on
// its standard error.
TEST_F(AdvanceRepairFailure, EncoderLeavesTheHostsStandardStreamsAlone)
{
#if defined(VEXMEND_HOST_PROGRAM)
    std::string sample = media / "sample.mxf";
    std::string damaged = media / "damaged.mxf";
    MakeMxf(sample, MediaSpec{100});
    MakeMxf(damaged, MediaSpec{100});
    DestroyHeaderAndFooter(damaged);
    std::vector<ReferenceElement> elements = ReferenceWalk(ReadBytes(damaged));
    int64_t frames = std::count_if(elements.begin(), elements.end(),
                                   [](const ReferenceElement& e) { return e.kind == 0; });
    std::string errors;
    EXPECT_EQ(RunShell("yes q | " + Quote(VEXMEND_HOST_PROGRAM) + " --log-dir " +
                       Quote(logs.Path()) + " --work-dir " + Quote(work / "host") + " advance " +
                       Quote(damaged) + " " + Quote(sample) + " " + Quote(media / "o.mxf") + " 2>" +
                       Quote(media / "stderr.txt") + " >/dev/null"),
              0);
    EXPECT_EQ(ReadText(media / "stderr.txt"), "");
    EXPECT_EQ(Probe(media / "o.mxf").videoPackets, frames);
#else
    GTEST_SKIP() << "built without the host program";
#endif
}

// The encoder is the one beside the host's real executable, in a folder with
// a space and beyond 259 characters; the program named by the text before the
// space does not run.
TEST_F(AdvanceRepairFailure, HostFolderOfAnyLengthFindsItsOwnEncoder)
{
#if defined(VEXMEND_HOST_PROGRAM)
    const std::string program = VEXMEND_HOST_PROGRAM;
    std::string folder = media / "host dir";
    for (char c = 'a'; folder.size() <= 300; ++c) folder += "/" + std::string(40, c);
    ASSERT_EQ(
        RunShell("mkdir -p " + Quote(folder) + " && cp " + Quote(program) + " " +
                 Quote(program.substr(0, program.rfind('/')) + "/libvexmend.so") + " " +
                 Quote(folder) + " && ln -s \"$(command -v ffmpeg)\" " +
                 Quote(folder + "/ffmpeg.exe") + " && printf '#!/bin/sh\\ntouch \"$0.ran\"' >" +
                 Quote(media / "host") + " && chmod +x " + Quote(media / "host")),
        0);
    MakeMxf(media / "d.mxf", MediaSpec{});
    uint64_t before = HashFile(media / "d.mxf");
    EXPECT_EQ(RunShell(Quote(folder + "/vexmend") + " --log-dir " + Quote(logs.Path()) +
                       " --work-dir " + Quote(work.Path()) + " general " + Quote(media / "d.mxf") +
                       " " + Quote(work / "o.mxf")),
              0);
    EXPECT_FALSE(Exists(media / "host.ran"));
    EXPECT_EQ(HashFile(media / "d.mxf"), before);
#else
    GTEST_SKIP() << "built without the host program";
#endif
}

// A backslash is an ordinary file-name character here: a\b.mxf is that file.
TEST_F(AdvanceRepairFailure, BackslashesStayInPaths)
{
    const std::string damaged = media / "a\\b.mxf", sample = media / "s\\1.mxf";
    MakeMxf(damaged, MediaSpec{});
    MakeMxf(sample, MediaSpec{});
    auto before = HashTree(media.Path());
    EXPECT_EQ(QorMxfAdvanceRepair(damaged.c_str(), sample.c_str(), (work / "o.mxf").c_str()),
              VEXMEND_OK);
    EXPECT_TRUE(Logged(") [AdvanceRepair] start advanced repair  " + damaged + "\n"));
    EXPECT_EQ(HashTree(media.Path()), before);
}

// Calls that overlap wait for each other; each damaged file is closed when
// its repair returns.
TEST_F(AdvanceRepairFailure, RepairsFromTwoThreadsAtOnceBothSucceed)
{
    for (const char* name : {"d0.mxf", "s0.mxf", "d1.mxf", "s1.mxf"}) MakeMxf(media / name, {});
    auto before = HashTree(media.Path());
    std::vector<int32_t> results(4, 1);
    auto repairs = [&](int i) {
        const std::string n = std::to_string(i);
        results[i] = RunRepair(media / ("d" + n + ".mxf"), media / ("s" + n + ".mxf"),
                               work / ("a" + n + ".mxf"));
        results[2 + i] = RunRepair(media / ("d" + n + ".mxf"), "", work / ("g" + n + ".mxf"));
    };
    std::thread first(repairs, 0), second(repairs, 1);
    first.join();
    second.join();
    EXPECT_EQ(results, std::vector<int32_t>(4, VEXMEND_OK));
    EXPECT_FALSE(OpenInThisProcess(media / "d0.mxf") || OpenInThisProcess(media / "d1.mxf"));
    EXPECT_EQ(HashTree(media.Path()), before);
}

}  // namespace
}  // namespace vexmend::test
