#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "EncoderLocation.h"
#include "TextConvert.h"
#include "VideoRepairManager/VideoRepairManager.h"
#include "support/TestSupport.h"
#include "vexmend.h"

namespace vexmend {
namespace {

using test::TempFolder;

TEST(Init, RepairsBeforeInitReturnMinusOneAndDestroyDoesNothing)
{
    TempFolder folder;
    QorMxfDestroy();
    EXPECT_EQ(QorMxfGeneralRepair((folder / "in.mxf").c_str(), (folder / "x/out.mxf").c_str()), -1);
    EXPECT_EQ(QorMxfAdvanceRepair((folder / "in.mxf").c_str(), (folder / "s.mxf").c_str(),
                                  (folder / "y/out.mxf").c_str()),
              -1);
    EXPECT_FALSE(test::Exists(folder / "x"));
    EXPECT_FALSE(test::Exists(folder / "y"));
}

TEST(Init, BannerIsNineRecordsAndIsWrittenAgainOnEachInit)
{
    TempFolder logs, work;
    test::WriteBytes(logs / "QorVideoRepair.log", {'e', 'a', 'r', 'l', 'i', 'e', 'r', '\n'});
    ASSERT_EQ(QorMxfInit(logs.Path().c_str(), 12345, (work / "a/b").c_str()), VEXMEND_OK);
    EXPECT_TRUE(test::Exists(work / "a/b"));
    EXPECT_EQ(tempDir, Utf8ToWide(work / "a/b"));
    ASSERT_EQ(QorMxfInit(nullptr, 0, nullptr), VEXMEND_OK);  // keeps both folders
    EXPECT_EQ(tempDir, Utf8ToWide(work / "a/b"));

    std::vector<std::string> lines = test::Lines(test::ReadText(logs / "QorVideoRepair.log"));
    ASSERT_EQ(lines.size(), 19u);
    EXPECT_EQ(lines[0], "earlier");
    const std::string stamp = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} \(\d+\) )";
    const std::vector<std::string> expected{
        R"(\[DEBUG\] )" + stamp + "#{20} ",
        R"(\[INFO\] )" + stamp + "#{20} ",
        R"(\[INFO\] )" + stamp + " ",
        R"(\[INFO\] )" + stamp + R"(Tessaline v1\.1\.0 )",
        R"(\[INFO\] )" + stamp + R"([A-Z][a-z]{2} [ 0-9]\d \d{4} \d{2}:\d{2}:\d{2})",
        R"(\[INFO\] )" + stamp + " ",
        R"(\[INFO\] )" + stamp + "#{20} ",
        R"(\[WARNING\] )" + stamp + "#{20} ",
        R"(\[ERROR\] )" + stamp + "#{20} "};
    for (size_t banner = 0; banner < 2; ++banner) {
        for (size_t i = 0; i < expected.size(); ++i) {
            const std::string& line = lines[1 + banner * 9 + i];
            EXPECT_TRUE(std::regex_match(line, std::regex(expected[i]))) << line;
        }
    }
}

TEST(Init, WorkFolderFallsBackUnderUserProfile)
{
    TempFolder profile, logs, blocked;
    // A work folder below a plain file cannot be made.
    test::WriteBytes(blocked / "file", {1});
    setenv("USERPROFILE", profile.Path().c_str(), 1);
    testing::internal::CaptureStdout();
    ASSERT_EQ(QorMxfInit(logs.Path().c_str(), 0, (blocked / "file/sub").c_str()), VEXMEND_OK);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Temp dir is not exist.");
    EXPECT_EQ(tempDir, Utf8ToWide(profile.Path() + "/AppData/Local/Temp/VR"));
    EXPECT_TRUE(test::Exists(profile / "AppData/Local/Temp/VR"));
    EXPECT_EQ(GetUserTempFolder(), Utf8ToWide(profile.Path() + "/AppData/Local/Temp"));
}

TEST(Init, BothWorkFoldersFailingLeaveTheCurrentFolder)
{
    TempFolder logs, blocked;
    test::WriteBytes(blocked / "file", {1});
    setenv("USERPROFILE", (blocked / "file").c_str(), 1);
    testing::internal::CaptureStdout();
    ASSERT_EQ(QorMxfInit(logs.Path().c_str(), 0, (blocked / "file/sub").c_str()), VEXMEND_OK);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Temp dir is not exist.Temp dir is not exist, will set current dir.");
    EXPECT_TRUE(tempDir.empty());
}

TEST(Init, MissingLogFolderIsNotCreatedAndTheHostFolderIsUsed)
{
    TempFolder logs, work;
    const std::string hostLog = WideToUtf8(GetHostFolder()) + "/QorVideoRepair.log";
    std::remove(hostLog.c_str());
    ASSERT_EQ(QorMxfInit((logs / "missing").c_str(), 0, work.Path().c_str()), VEXMEND_OK);
    EXPECT_FALSE(test::Exists(logs / "missing"));
    EXPECT_NE(test::ReadText(hostLog).find("Tessaline v1.1.0"), std::string::npos);
    std::remove(hostLog.c_str());
}

// Malformed UTF-8 names no folder: the fallbacks apply and the log exists.
TEST(Init, MalformedFolderTextsAreFoldersThatDoNotExist)
{
    TempFolder profile;
    setenv("USERPROFILE", profile.Path().c_str(), 1);
    const std::string hostLog = WideToUtf8(GetHostFolder()) + "/QorVideoRepair.log";
    std::remove(hostLog.c_str());
    ASSERT_EQ(QorMxfInit("bad \xff logs", 0, "bad \xff work"), VEXMEND_OK);
    EXPECT_EQ(tempDir, Utf8ToWide(profile.Path() + "/AppData/Local/Temp/VR"));
    EXPECT_EQ(QorMxfGeneralRepair("", "o.mxf"), VEXMEND_NO_INPUT);
    EXPECT_NE(test::ReadText(hostLog).find(") Start VideoRepairManager::GeneralRepair"),
              std::string::npos);
    std::remove(hostLog.c_str());
}

}  // namespace
}  // namespace vexmend
