#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "LogSink.h"
#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "support/TestSupport.h"

namespace vexmend {
namespace {

using Args = std::vector<std::string>;

// A killed process may stay a zombie until its new parent reaps it.
bool Running(pid_t pid)
{
    std::string stat = test::ReadText("/proc/" + std::to_string(pid) + "/stat");
    std::string::size_type state = stat.rfind(')');
    return state != std::string::npos && stat.compare(state, 3, ") Z") != 0;
}

TEST(MergeRun, ArgumentListFollowsTablesAndFrameRate)
{
    MxfAdvanceRepair engine;
    EXPECT_EQ(engine.MergeArguments("v.dat", {}, "out.mxf"),
              (Args{"-y", "-i", "v.dat", "-vcodec", "copy", "-copyinkf", "-bsf:v",
                    "setts=pts=N:dts=N", "-t", "0.000000", "-f", "mxf", "out.mxf"}));
    // Each track its own described input, mapped in track order and copied.
    std::vector<AudioInput> tracks{{{"-f", "s24le"}, "a.dat"},
                                   {{"-f", "s16le", "-ac", "2"}, "a2.dat"}};
    EXPECT_EQ(engine.MergeArguments("v.dat", tracks, "out.mxf"),
              (Args{"-y",     "-i",
                    "v.dat",  "-f",
                    "s24le",  "-i",
                    "a.dat",  "-f",
                    "s16le",  "-ac",
                    "2",      "-i",
                    "a2.dat", "-map",
                    "0:v",    "-map",
                    "1:a",    "-map",
                    "2:a",    "-acodec",
                    "copy",   "-vcodec",
                    "copy",   "-copyinkf",
                    "-bsf:v", "setts=pts=N:dts=N",
                    "-t",     "0.000000",
                    "-f",     "mxf",
                    "out.mxf"}));
}

struct StandIn {
    const char* name;
    const char* script;  // $1: the result path; writes the pid of its child to child.pid
    int32_t result;
    double minSeconds, maxSeconds;
};

void PrintTo(const StandIn& standIn, std::ostream* out) { *out << standIn.name; }

class MergeRunLimit : public ::testing::TestWithParam<StandIn> {};

// The limit (2 s here) stops an encoder whose result stops growing, with the
// processes it started; a slow one that keeps writing runs to its end.
TEST_P(MergeRunLimit, StopsOnlyAStuckEncoder)
{
    test::TempFolder folder;
    std::string standIn = folder / "encoder.sh";
    {
        std::ofstream script(standIn);
        script << "#!/bin/sh\nfor last; do :; done\nsleep 30 &\necho $! > "
               << (folder / "child.pid") << "\n"
               << GetParam().script << "\n";
    }
    chmod(standIn.c_str(), 0755);
    MxfAdvanceRepairOptions options;
    options.encoderPath = standIn;
    options.mergeTimeLimitSeconds = 2;
    MxfAdvanceRepair engine(options);
    LogSink sink(LogLevel::Debug, folder / "log.txt");
    engine.SetLogger(&sink);

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(engine.MergeAudioVideo(folder / "v.dat", {}, folder / "out.mxf"), GetParam().result);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, GetParam().minSeconds);
    EXPECT_LT(seconds, GetParam().maxSeconds);
    pid_t child = std::stoi(test::ReadText(folder / "child.pid"));
    if (GetParam().result == -4) {
        EXPECT_FALSE(Running(child)) << "the encoder's own child";
    }
    kill(child, SIGKILL);
}

INSTANTIATE_TEST_SUITE_P(
    StandIns, MergeRunLimit,
    ::testing::Values(StandIn{"slow_writer",
                              "for i in 1 2 3 4 5 6 7 8; do echo x >> \"$last\"; sleep 0.5; done",
                              0, 4.0, 15.0},
                      StandIn{"stops_writing",
                              "echo x > \"$last\"; sleep 1; echo x >> \"$last\"; sleep 30", -4, 3.0,
                              15.0},
                      StandIn{"fails", "echo x > \"$last\"; exit 1", -3, 0.0, 10.0}),
    [](const ::testing::TestParamInfo<StandIn>& info) { return std::string(info.param.name); });

class SampleProbeLimit : public ::testing::TestWithParam<StandIn> {};

// The report must end within the limit (2 s here) of the encoder's start or
// of its last line, else the encoder and what it started are stopped. Long
// lines are cut; a flood of bad frame rates is logged once.
TEST_P(SampleProbeLimit, StopsAnEncoderWhoseReportDoesNotEnd)
{
    test::TempFolder folder;
    const std::string standIn = folder / "encoder.sh", pidFile = folder / "child.pid";
    const std::string script = "#!/bin/sh\ncd " + test::Quote(folder.Path()) +
                               "\naudio() { echo 'Stream #0:1: Audio: pcm_s16le' >&2; }\n" +
                               GetParam().script + "\n";
    test::WriteBytes(standIn, {script.begin(), script.end()});
    chmod(standIn.c_str(), 0755);
    MxfAdvanceRepair engine(MxfAdvanceRepairOptions{standIn, 2});
    LogSink sink(LogLevel::Debug, folder / "log.txt");
    engine.SetLogger(&sink);
    engine.SetVideoPath(L"", L"/sample.mxf");

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(engine.AnalyzeAudioCodecInfo(), GetParam().result);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, GetParam().minSeconds);
    EXPECT_LT(seconds, GetParam().maxSeconds);
    EXPECT_EQ(engine.AudioStreamCount(), GetParam().result == 0 ? 1u : 0u);
    EXPECT_LT(test::ReadText(folder / "log.txt").size(), 1000u);
    if (test::Exists(pidFile)) {
        pid_t child = std::stoi(test::ReadText(pidFile));
        for (int i = 0; i < 50 && Running(child); ++i) usleep(20000);
        EXPECT_FALSE(Running(child));
    }
}

INSTANTIATE_TEST_SUITE_P(
    StandIns, SampleProbeLimit,
    ::testing::Values(
        StandIn{"child_holds_the_pipe", "audio; sleep 30 & echo $! > child.pid", -1, 2.0, 15.0},
        StandIn{"line_never_ends", "audio; while :; do printf x >&2; sleep 0.2; done", -1, 2.0,
                15.0},
        StandIn{"slow_lines", "audio; for i in 1 2 3 4 5; do sleep 0.6; echo Video: >&2; done", 0,
                2.9, 15.0},
        StandIn{"long_line_and_bad_rates",
                "head -c 1000000 /dev/zero | tr '\\0' x >&2; audio; audio; "
                "yes 'Video: mpeg2video, abc fps' | head -n 300000 >&2",
                0, 0.0, 30.0}),
    [](const ::testing::TestParamInfo<StandIn>& info) { return std::string(info.param.name); });

TEST(MergeRun, MissingEncoderIsNotLaunched)
{
    test::TempFolder folder;
    MxfAdvanceRepairOptions missing;
    missing.encoderPath = folder / "no-encoder";
    MxfAdvanceRepair without(missing);
    LogSink sink(LogLevel::Debug, folder / "log.txt");
    without.SetLogger(&sink);
    EXPECT_EQ(without.MergeAudioVideo("v", {}, "o"), -1);
    EXPECT_NE(test::ReadText(folder / "log.txt").find("[ENCD] cmd is not exists. cmd is:"),
              std::string::npos);
}

}  // namespace
}  // namespace vexmend
