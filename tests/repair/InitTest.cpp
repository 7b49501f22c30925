#include <cstdlib>
#include <regex>

#include "EncoderLocation.h"
#include "TextConvert.h"
#include "VideoRepairManager/VideoRepairManager.h"
#include "repair/RepairFixture.h"

namespace vexmend::test {
namespace {

// The first QorMxfInit makes the manager for the rest of the process: the
// calls before it are made by a fresh run of this program.
TEST(Init, RepairsBeforeInitReturnMinusOneAndDestroyDoesNothing)
{
    if (std::getenv("VEXMEND_BEFORE_INIT") == nullptr) {
        std::string output;
        EXPECT_EQ(RunShell("VEXMEND_BEFORE_INIT=1 " +
                               Quote(std::filesystem::read_symlink("/proc/self/exe")) +
                               " --gtest_filter='Init.RepairsBeforeInit*'",
                           &output),
                  0)
            << output;
        return;
    }
    TempFolder folder;
    QorMxfDestroy();
    EXPECT_EQ(RunRepair(folder / "in.mxf", "", folder / "x/out.mxf"), -1);
    EXPECT_EQ(RunRepair(folder / "in.mxf", folder / "s.mxf", folder / "y/out.mxf"), -1);
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));  // no output folder made
}

// Each QorMxfInit appends the banner to the log; null folders keep the
// earlier ones.
TEST(Init, BannerIsNineRecordsAndIsWrittenAgainOnEachInit)
{
    TempFolder logs, work;
    WriteBytes(logs / "QorVideoRepair.log", {'e', 'a', 'r', 'l', 'y', '\n'});
    ASSERT_EQ(QorMxfInit(logs.Path().c_str(), 12345, (work / "a/b").c_str()), VEXMEND_OK);
    ASSERT_EQ(QorMxfInit(nullptr, 0, nullptr), VEXMEND_OK);
    EXPECT_EQ(tempDir, Utf8ToWide(work / "a/b"));
    EXPECT_TRUE(Exists(work / "a/b"));
    std::string log = ReadText(logs / "QorVideoRepair.log");
    log = std::regex_replace(log, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \(\d+\))"), "T");
    log = std::regex_replace(log, std::regex(R"([A-Z][a-z]{2} [ \d]\d \d{4} \d\d:\d\d:\d\d)"), "D");
    const std::string rule = " T #################### \n";
    const std::string banner = "[DEBUG]" + rule + "[INFO]" + rule +
                               "[INFO] T  \n[INFO] T Tessaline v1.1.0 \n[INFO] T D\n[INFO] T  \n" +
                               "[INFO]" + rule + "[WARNING]" + rule + "[ERROR]" + rule;
    EXPECT_EQ(log, "early\n" + banner + banner);
}

// A work folder that cannot be made, or a folder text that is not UTF-8,
// gives the user's temporary folder, and failing that the current folder; a
// log folder that is missing or not UTF-8 gives the host's folder.
TEST(Init, FoldersFallBack)
{
    TempFolder profile, blocked;
    WriteBytes(blocked / "file", {1});  // no folder can be made below it
    const std::string vr = profile / "AppData/Local/Temp/VR", notMade = "Temp dir is not exist.";
    const struct {
        std::string logs, work, userProfile, printed, tempDir;
    } cases[] = {
        {blocked / "missing", blocked / "file/sub", profile.Path(), notMade, vr},
        {"bad \xff logs", "bad \xff work", profile.Path(), notMade, vr},
        {blocked / "missing", blocked / "file/sub", blocked / "file",
         notMade + "Temp dir is not exist, will set current dir.", ""},
    };
    const std::string hostLog = WideToUtf8(GetHostFolder()) + "/QorVideoRepair.log";
    const std::string hostLogText = ReadText(hostLog);
    const bool hostLogExisted = Exists(hostLog), profileSet = std::getenv("USERPROFILE");
    const std::string savedProfile = profileSet ? std::getenv("USERPROFILE") : "";
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const size_t logSize = ReadText(hostLog).size();
        setenv("USERPROFILE", c.userProfile.c_str(), 1);
        testing::internal::CaptureStdout();
        EXPECT_EQ(QorMxfInit(c.logs.c_str(), 0, c.work.c_str()), VEXMEND_OK);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed);
        EXPECT_EQ(tempDir, Utf8ToWide(c.tempDir));
        EXPECT_NE(ReadText(hostLog).find("Tessaline v1.1.0", logSize), std::string::npos);
    }
    EXPECT_FALSE(Exists(blocked / "missing"));
    profileSet ? setenv("USERPROFILE", savedProfile.c_str(), 1) : unsetenv("USERPROFILE");
    if (hostLogExisted) WriteBytes(hostLog, {hostLogText.begin(), hostLogText.end()});
    if (!hostLogExisted) std::remove(hostLog.c_str());
}

}  // namespace
}  // namespace vexmend::test
