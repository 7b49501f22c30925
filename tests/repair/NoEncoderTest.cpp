// Runs from a folder without ffmpeg.exe beside the executable.
#include "repair/RepairFixture.h"

namespace vexmend::test {
namespace {

class NoEncoder : public RepairTest {};

TEST_F(NoEncoder, GeneralRepairGivesNoOutput)
{
    MakeMxf(media / "clip.mxf", MediaSpec{});
    uint64_t before = HashFile(media / "clip.mxf");
    EXPECT_EQ(QorMxfGeneralRepair((media / "clip.mxf").c_str(), (media / "o.mxf").c_str()),
              VEXMEND_NO_OUTPUT);
    EXPECT_TRUE(Logged(") GeneralRepair ffmpeg not generate repairedVideo"));
    EXPECT_FALSE(Logged("ffmpeg Repair completed."));
    EXPECT_EQ(HashFile(media / "clip.mxf"), before);
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
