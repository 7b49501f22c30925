#include <gtest/gtest.h>

#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "TextConvert.h"
#include "support/TestSupport.h"

namespace vexmend {
namespace {

// In an existing output folder the result takes the damaged file's name, a
// recorder file's lower-case rsv or klv turned to mxf; any other output path
// is used as it is.
TEST(Paths, OutputPathRules)
{
    test::TempFolder out;
    EXPECT_EQ(MakeOutputPath(L"/c/A001.rsv", Utf8ToWide(out.Path())), out / "A001.mxf");
    EXPECT_EQ(MakeOutputPath(L"/c/A001.KLV", Utf8ToWide(out.Path())), out / "A001.KLV");
    EXPECT_EQ(MakeOutputPath(L"/c/caf\u00e9.mxf", Utf8ToWide(out.Path())), out / "caf\xc3\xa9.mxf");
    EXPECT_EQ(MakeOutputPath(L"/c/A001.mxf", L"/no/such/folder"), "/no/such/folder");
}

}  // namespace
}  // namespace vexmend
