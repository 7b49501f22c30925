#include <gtest/gtest.h>

#include "EncoderLocation.h"
#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "TextConvert.h"
#include "support/TestSupport.h"

namespace vexmend {
namespace {

TEST(Paths, HostFolderAndTextConversions)
{
    const std::wstring folder = GetHostFolder();
    EXPECT_TRUE(test::Exists(WideToUtf8(folder) + "/vexmend_unit_tests"));
    EXPECT_EQ(GetEncoderPath(), folder + L"/ffmpeg.exe");
    const std::string utf8 = "caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x8e\xac";
    const std::wstring wide = L"caf\u00e9 \u65e5\u672c \U0001F3AC";
    EXPECT_EQ(Utf8ToWide(utf8), wide);
    EXPECT_EQ(Utf8ToWideNoLocale(utf8), wide);
    EXPECT_EQ(WideToNarrow(wide), utf8);
    EXPECT_EQ(WideToUtf8(wide), utf8);
    EXPECT_THROW(Utf8ToWide("bad \xff\xfe"), std::invalid_argument);
}

// In an existing output folder the result takes the damaged file's name, a
// recorder file's lower-case rsv or klv turned to mxf; any other output path
// is used as it is.
TEST(Paths, OutputPathRules)
{
    test::TempFolder out;
    EXPECT_EQ(MakeOutputPath(L"/c/A001.rsv", Utf8ToWide(out.Path())), out / "A001.mxf");
    EXPECT_EQ(MakeOutputPath(L"/c/A001.KLV", Utf8ToWide(out.Path())), out / "A001.KLV");
    EXPECT_EQ(MakeOutputPath(L"/c/A001.mxf", L"/no/such/folder"), "/no/such/folder");
}

}  // namespace
}  // namespace vexmend
