#include <cstdlib>
#include <regex>

#include "EncoderLocation.h"
#include "TextConvert.h"
#include "VideoRepairManager/VideoRepairManager.h"
#include "repair/RepairFixture.h"

namespace vexmend::test {
namespace {

// The first QorMxfInit makes the manager for the rest of the process, so this
// test runs in a fresh run of this program: repairs before it return -1 and
// make nothing, QorMxfDestroy does nothing. Each QorMxfInit appends its
// banner to the log, in the log folder or, when it is missing or takes no
// log, in the host's folder. A work folder that cannot be made, or a folder
// text that is not UTF-8, gives the user's temporary folder and failing that
// the current folder; null folders keep the earlier ones.
TEST(Init, BeforeInitAndFolderFallbacks)
{
    const std::string hostLog = WideToUtf8(GetHostFolder()) + "/QorVideoRepair.log";
    if (std::getenv("VEXMEND_FRESH_RUN") == nullptr) {
        const std::string self = std::filesystem::read_symlink("/proc/self/exe"),
                          log = ReadText(hostLog);
        const bool logExisted = Exists(hostLog);
        std::string output;
        EXPECT_EQ(
            RunShell("VEXMEND_FRESH_RUN=1 " + Quote(self) + " --gtest_filter=Init.*", &output), 0)
            << output;
        logExisted ? WriteBytes(hostLog, {log.begin(), log.end()})
                   : (void)std::remove(hostLog.c_str());
        return;
    }
    TempFolder profile, folders;
    QorMxfDestroy();
    EXPECT_EQ(RunRepair(folders / "in.mxf", "", folders / "x/out.mxf"), -1);
    EXPECT_EQ(RunRepair(folders / "in.mxf", folders / "s.mxf", folders / "y/out.mxf"), -1);
    EXPECT_TRUE(std::filesystem::is_empty(folders.Path()));  // no output folder made
    WriteBytes(folders / "file", {1});                       // no folder can be made below it
    const std::string made = folders / "a/b", vr = profile / "AppData/Local/Temp/VR";
    const std::string notMade = "Temp dir is not exist.", missing = folders / "missing";
    const std::string belowFile = folders / "file/sub", file = folders / "file";
    const struct {
        const char *logs, *work;
        std::string userProfile, printed, tempDir;
    } cases[] = {
        {missing.c_str(), made.c_str(), profile.Path(), "", made},
        {nullptr, nullptr, profile.Path(), "", made},
        {file.c_str(), nullptr, profile.Path(), "", made},  // a log folder that takes no log
        {"bad \xff logs", "bad \xff work", profile.Path(), notMade, vr},
        {missing.c_str(), belowFile.c_str(), folders / "file",
         notMade + "Temp dir is not exist, will set current dir.", ""},
    };
    const std::string rule = " T #################### \n";
    const std::string banner = "[DEBUG]" + rule + "[INFO]" + rule +
                               "[INFO] T  \n[INFO] T Tessaline v1.1.0 \n[INFO] T D\n[INFO] T  \n" +
                               "[INFO]" + rule + "[WARNING]" + rule + "[ERROR]" + rule;
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const size_t logSize = ReadText(hostLog).size();
        setenv("USERPROFILE", c.userProfile.c_str(), 1);
        testing::internal::CaptureStdout();
        EXPECT_EQ(QorMxfInit(c.logs, 12345, c.work), VEXMEND_OK);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed);
        EXPECT_EQ(tempDir, Utf8ToWide(c.tempDir));
        std::string log = ReadText(hostLog).substr(logSize);
        log = std::regex_replace(log, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \(\d+\))"), "T");
        EXPECT_EQ(std::regex_replace(log, std::regex(R"(\w{3} [ \d]\d \d{4} \d\d:\d\d:\d\d)"), "D"),
                  banner);
    }
    EXPECT_FALSE(Exists(missing));
}

}  // namespace
}  // namespace vexmend::test
