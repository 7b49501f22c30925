// Runs from a folder without ffmpeg.exe beside the executable. A test may put
// a stand-in there for one scope; the tests of this program never overlap.
#include <filesystem>

#include "repair/RepairFixture.h"

namespace vexmend::test {
namespace {

class NoEncoder : public RepairTest {};

// A script placed as ffmpeg.exe beside the test executable while in scope.
struct StandInEncoder {
    explicit StandInEncoder(const std::string& script)
    {
        if (script.empty()) return;
        WriteBytes(path.string(), {script.begin(), script.end()});
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }
    ~StandInEncoder() { std::filesystem::remove(path, ignored); }
    const std::filesystem::path path =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / "ffmpeg.exe";
    std::error_code ignored;
};

TEST_F(NoEncoder, GeneralRepairFailsAndLeavesOnlyAnOlderFileThatTheEncoderNeverTouched)
{
    const struct {
        std::string encoder;  // empty: missing
        bool olderOutput;
        std::string record;
    } cases[] = {
        {"", false, ") GeneralRepair ffmpeg not generate repairedVideo"},
        {"", true, ") GeneralRepair Completed,general out file: "},
        {"#!/bin/sh\nfor last; do :; done\necho partial >\"$last\"\nexit 1\n", true,
         ") [GeneralRepair] encoder exit status: 1\n"},
    };
    MakeMxf(media / "clip.mxf", MediaSpec{});
    uint64_t before = HashFile(media / "clip.mxf");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.encoder);
        StandInEncoder encoder(c.encoder);
        if (c.olderOutput) WriteBytes(media / "o.mxf", {'o', 'l', 'd'});
        EXPECT_EQ(QorMxfGeneralRepair((media / "clip.mxf").c_str(), (media / "o.mxf").c_str()),
                  VEXMEND_NO_OUTPUT);
        EXPECT_TRUE(Logged(c.record));
        EXPECT_EQ(Logged("ffmpeg Repair completed."), !c.encoder.empty());
        const bool kept = c.olderOutput && c.encoder.empty();
        EXPECT_EQ(Exists(media / "o.mxf"), kept);
        EXPECT_EQ(ReadText(media / "o.mxf"), kept ? "old" : "");
        EXPECT_EQ(HashFile(media / "clip.mxf"), before);
    }
}

TEST_F(NoEncoder, AdvanceRepairFailsAtTheProbe)
{
    MakeMxf(media / "clip.mxf", MediaSpec{});
    EXPECT_EQ(QorMxfAdvanceRepair((media / "clip.mxf").c_str(), (media / "clip.mxf").c_str(),
                                  (media / "o.mxf").c_str()),
              VEXMEND_ADVANCE_FAILED);
    EXPECT_TRUE(Logged(") [ENCD] cmd is not exists. cmd is:"));
    EXPECT_TRUE(Logged(") [AnalyzeSampleVideo]Analysize audio codec info by ffmpeg failed. -1"));
    EXPECT_TRUE(Logged("[ERROR] "));
    EXPECT_TRUE(Logged(") Repair Failed, return  -1") || Logged("(0) Repair Failed, return  -1"));
    EXPECT_FALSE(Exists(media / "o.mxf"));
}

}  // namespace
}  // namespace vexmend::test
