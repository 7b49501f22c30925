#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <fstream>

#include "LogSink.h"
#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "support/TestSupport.h"

namespace vexmend {
namespace {

using Args = std::vector<std::string>;

TEST(MergeRun, ArgumentListFollowsTablesAndFrameRate)
{
    MxfAdvanceRepair engine;
    EXPECT_EQ(engine.MergeArguments("v.dat", "a.dat", "out.mxf"),
              (Args{"-y", "-i", "v.dat", "-vcodec", "copy", "-t", "0.000000", "out.mxf"}));
}

// A stand-in encoder that only sleeps: the merge must stop it at its limit.
TEST(MergeRun, EncoderStillRunningAtTheLimitIsKilled)
{
    test::TempFolder folder;
    std::string standIn = folder / "sleeper.sh";
    {
        std::ofstream script(standIn);
        script << "#!/bin/sh\necho \"$@\" > " << (folder / "args.txt") << "\nexec sleep 30\n";
    }
    chmod(standIn.c_str(), 0755);
    MxfAdvanceRepairOptions options;
    options.encoderPath = standIn;
    options.mergeTimeLimitSeconds = 2;
    MxfAdvanceRepair engine(options);
    LogSink sink(LogLevel::Debug, folder / "log.txt");
    engine.SetLogger(&sink);

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(engine.MergeAudioVideo(folder / "v.dat", folder / "a.dat", folder / "out.mxf"), 0);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 2.0);
    EXPECT_LT(seconds, 5.0);
    EXPECT_EQ(
        test::ReadText(folder / "args.txt"),
        "-y -i " + folder / "v.dat" + " -vcodec copy -t 0.000000 " + folder / "out.mxf" + "\n");
    std::string log = test::ReadText(folder / "log.txt");
    EXPECT_NE(log.find("[ERROR] "), std::string::npos);
    EXPECT_NE(log.find(") [MXF] strCmdArgs is:. -y -i " + folder / "v.dat"), std::string::npos);
    EXPECT_NE(log.find(folder / "out.mxf" + " \n"), std::string::npos);
}

TEST(MergeRun, EncoderThatFailsAtOnceGivesZeroWithoutWaiting)
{
    test::TempFolder folder;
    MxfAdvanceRepairOptions options;
    options.encoderPath = "/bin/false";
    MxfAdvanceRepair engine(options);
    LogSink sink(LogLevel::Debug, folder / "log.txt");
    engine.SetLogger(&sink);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(engine.MergeAudioVideo("v", "a", "o"), 0);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0);

    MxfAdvanceRepairOptions missing;
    missing.encoderPath = folder / "no-encoder";
    MxfAdvanceRepair without(missing);
    without.SetLogger(&sink);
    EXPECT_EQ(without.MergeAudioVideo("v", "a", "o"), -1);
    EXPECT_NE(test::ReadText(folder / "log.txt").find("[ENCD] cmd is not exists. cmd is:"),
              std::string::npos);
}

}  // namespace
}  // namespace vexmend
