#include <gtest/gtest.h>

#include <cstdlib>

#include "EncoderLocation.h"
#include "LogSink.h"
#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "TextConvert.h"
#include "support/TestSupport.h"

namespace vexmend {
namespace {

TEST(Paths, ReplaceAllTurnsEveryBackslash)
{
    std::wstring text = L"D:\\work\\new/sub\\";
    ReplaceAll(text, L"\\", L"/");
    EXPECT_EQ(text, L"D:/work/new/sub/");
    std::wstring unc = L"\\\\server\\share\\a b\\";
    ReplaceAll(unc, L"\\", L"/");
    EXPECT_EQ(unc, L"//server/share/a b/");
    std::wstring plain = L"C:/already/forward";
    ReplaceAll(plain, L"\\", L"/");
    EXPECT_EQ(plain, L"C:/already/forward");
}

TEST(Paths, HostFolderIsTheTestExecutablesFolder)
{
    std::wstring folder = GetHostFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), L'/');
    EXPECT_TRUE(test::Exists(WideToUtf8(folder) + "/vexmend_unit_tests"));
    EXPECT_EQ(GetEncoderPath(), folder + L"/ffmpeg.exe");
}

TEST(Paths, TextConversionsRoundTripAndRejectMalformedText)
{
    const std::string utf8 = "caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x8e\xac";
    std::wstring wide = Utf8ToWide(utf8);
    EXPECT_EQ(wide, L"caf\u00e9 \u65e5\u672c \U0001F3AC");
    EXPECT_EQ(WideToNarrow(wide), utf8);
    EXPECT_EQ(WideToUtf8(wide), utf8);
    EXPECT_EQ(Utf8ToWideNoLocale(utf8), wide);
    EXPECT_EQ(WideToNarrow(L""), "");
    EXPECT_THROW(Utf8ToWide("bad \xff\xfe"), std::invalid_argument);
}

class EngineFrame : public ::testing::Test {
protected:
    test::TempFolder folder;
    LogSink sink{LogLevel::Debug, folder / "log.txt"};
    std::vector<std::string> LogLines() { return test::Lines(test::ReadText(folder / "log.txt")); }
};

TEST_F(EngineFrame, SampleChangedFollowsTheExactSamplePath)
{
    MxfAdvanceRepair engine;
    engine.SetVideoPath(L"/a.mxf", L"");
    EXPECT_FALSE(engine.SampleChanged());  // empty equals the empty start value
    EXPECT_TRUE(LogLines().empty());       // no sink: no record, paths still stored
    EXPECT_EQ(engine.VideoPath(), L"/a.mxf");

    engine.SetLogger(&sink);
    engine.SetVideoPath(L"/a.mxf", L"/s.mxf");
    EXPECT_TRUE(engine.SampleChanged());
    engine.SetVideoPath(L"/b.mxf", L"/s.mxf");
    EXPECT_FALSE(engine.SampleChanged());
    engine.SetVideoPath(L"/b.mxf", L"/S.mxf");
    EXPECT_TRUE(engine.SampleChanged());
    engine.Close();
    EXPECT_EQ(engine.SamplePath(), L"");
    engine.SetVideoPath(L"/b.mxf", L"/S.mxf");
    EXPECT_TRUE(engine.SampleChanged());
    ASSERT_EQ(LogLines().size(), 4u);
    EXPECT_NE(LogLines()[0].find(") Start  MxfAdvanceRepair::SetVideoPath"), std::string::npos);
}

TEST_F(EngineFrame, CommandCheckLogsOnlyFailures)
{
    MxfAdvanceRepair engine;
    engine.SetLogger(&sink);
    test::WriteBytes(folder / "tool", {1});
    EXPECT_EQ(engine.CheckCommandExists(folder / "tool"), 0);
    EXPECT_EQ(engine.CheckCommandExists(folder.Path()), 0);  // a folder counts
    EXPECT_TRUE(LogLines().empty());
    EXPECT_EQ(engine.CheckCommandExists(""), -1);
    EXPECT_EQ(engine.CheckCommandExists(folder / "none"), -1);
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("[ERROR] "), std::string::npos);
    EXPECT_NE(lines[0].find(") [ENCD] cmd is empty. -1"), std::string::npos);
    EXPECT_NE(lines[1].find(") [ENCD] cmd is not exists. cmd is: " + folder / "none"),
              std::string::npos);
}

TEST_F(EngineFrame, OutputPathAndStemRules)
{
    test::TempFolder out;
    EXPECT_EQ(MakeOutputPath(L"/c/A001.rsv", Utf8ToWide(out.Path())), out / "A001.mxf");
    EXPECT_EQ(MakeOutputPath(L"/c/A001.KLV", Utf8ToWide(out.Path())), out / "A001.KLV");
    EXPECT_EQ(MakeOutputPath(L"/c/A001.mxf", L"/no/such/folder"), "/no/such/folder");
}

}  // namespace
}  // namespace vexmend
