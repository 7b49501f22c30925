// Runs from a folder without ffmpeg.exe beside the executable. A case may put
// a stand-in there for its call; the tests of this program never overlap.
#include <filesystem>

#include "repair/RepairFixture.h"

namespace vexmend::test {
namespace {

class NoEncoder : public RepairTest {};

TEST_F(NoEncoder, RepairsFailAndLeaveOnlyAnOlderFileThatTheEncoderNeverTouched)
{
    const struct {
        const char* encoder;  // empty: none
        bool olderOutput, advance;
        int32_t result;
        const char* record;
    } cases[] = {
        {"", false, false, VEXMEND_NO_OUTPUT, ") GeneralRepair ffmpeg not generate repairedVideo"},
        {"", true, false, VEXMEND_NO_OUTPUT, ") GeneralRepair Completed,general out file: "},
        {"", true, true, VEXMEND_ADVANCE_FAILED, ") [ENCD] cmd is not exists. cmd is: "},
        {"#!/bin/sh\nfor last; do :; done\necho partial >\"$last\"\nexit 1\n", true, false,
         VEXMEND_NO_OUTPUT, ") [GeneralRepair] encoder exit status: 1\n"},
    };
    const std::filesystem::path encoder =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / "ffmpeg.exe";
    const std::string clip = media / "clip.mxf", output = work / "o.mxf";
    MakeMxf(clip, MediaSpec{});
    const auto before = HashTree(media.Path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.record);
        NextCase();
        const std::string script = c.encoder;
        if (!script.empty()) {
            WriteBytes(encoder.string(), {script.begin(), script.end()});
            std::filesystem::permissions(encoder, std::filesystem::perms::owner_all);
        }
        if (c.olderOutput) WriteBytes(output, {'o', 'l', 'd'});
        EXPECT_EQ(RunRepair(clip, c.advance ? clip : "", output), c.result);
        if (!script.empty()) std::filesystem::remove(encoder);
        EXPECT_TRUE(Logged(c.record));
        const bool kept = c.olderOutput && script.empty();
        EXPECT_EQ(Exists(output), kept);
        EXPECT_EQ(ReadText(output), kept ? "old" : "");
        EXPECT_EQ(HashTree(media.Path()), before);
    }
}

}  // namespace
}  // namespace vexmend::test
