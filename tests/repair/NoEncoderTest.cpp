// Runs from a folder without ffmpeg.exe beside the executable; one case puts a
// stand-in there for its call. The tests of this program never overlap.
#include "repair/RepairFixture.h"

namespace vexmend::test {
namespace {

class NoEncoder : public RepairTest {};

TEST_F(NoEncoder, RepairsFailAndLeaveOnlyAnOlderFileThatTheEncoderNeverTouched)
{
    const std::string encoder = std::filesystem::read_symlink("/proc/self/exe").parent_path() /
                                "ffmpeg.exe";
    const std::string clip = media / "clip.mxf", output = work / "o.mxf";
    const struct {
        std::string sample;   // empty: the general repair
        bool older, standIn;  // an older file at the output; a stand-in that fails
        int32_t result;
        const char* record;
    } cases[] = {
        {"", false, false, VEXMEND_NO_OUTPUT, ") GeneralRepair ffmpeg not generate repairedVideo"},
        {"", true, false, VEXMEND_NO_OUTPUT, ") GeneralRepair Completed,general out file: "},
        {clip, true, false, VEXMEND_ADVANCE_FAILED, ") [ENCD] cmd is not exists. cmd is: "},
        {"", true, true, VEXMEND_NO_OUTPUT, ") [GeneralRepair] encoder exit status: 1\n"},
    };
    const std::string standIn =
        "#!/bin/sh\nfor last; do :; done\necho partial >\"${last#file:}\"\nexit 1";
    MakeMxf(clip, MediaRecipe{});
    const auto before = HashTree(media.Path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.record);
        NextCase();
        if (c.standIn) {
            WriteBytes(encoder, {standIn.begin(), standIn.end()});
            std::filesystem::permissions(encoder, std::filesystem::perms::owner_all);
        }
        if (c.older) WriteBytes(output, {'o', 'l', 'd'});
        EXPECT_EQ(RunRepair(clip, c.sample, output), c.result);
        if (c.standIn) std::remove(encoder.c_str());
        EXPECT_TRUE(Logged(c.record));
        EXPECT_EQ(ReadText(output), c.older ? "old" : "");
        EXPECT_EQ(HashTree(media.Path()), before);
    }
}

}  // namespace
}  // namespace vexmend::test
