// What only the Windows build can get wrong: paths from the Windows API, wide
// text, and the DLL's exports loaded by name. The repairs through the DLL with
// the real encoder run end to end in tools/windows/run-windows-tests.sh.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "EncoderLocation.h"
#include "TextConvert.h"
#include "support/TestSupport.h"
#include "vexmend.h"

namespace vexmend {
namespace {

std::wstring ModulePath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

TEST(WindowsPaths, HostFolderIsTheExecutablesFolderWithForwardSlashes)
{
    std::wstring module = ModulePath();
    ASSERT_NE(module.find(L'\\'), std::wstring::npos) << "the loader gives backslash paths";
    std::wstring expected = module.substr(0, module.find_last_of(L'\\'));
    for (wchar_t& c : expected) {
        if (c == L'\\') c = L'/';
    }
    std::wstring folder = GetHostFolder();
    EXPECT_EQ(folder, expected);
    EXPECT_EQ(folder.find(L'\\'), std::wstring::npos);
    EXPECT_NE(folder.back(), L'/');
    EXPECT_TRUE(test::Exists(WideToUtf8(folder) + "/vexmend_windows_tests.exe"));
    EXPECT_EQ(GetEncoderPath(), folder + L"/ffmpeg.exe");
    EXPECT_TRUE(test::Exists(WideToUtf8(GetEncoderPath())));
}

TEST(WindowsText, WideIsUtf16AndSurvivesTheRoundTrip)
{
    // U+1F3AC needs a surrogate pair in UTF-16 and four bytes in UTF-8.
    const std::string utf8 =
        "C:/m\xc3\xa9"
        "dia/\xe6\x97\xa5/\xf0\x9f\x8e\xac.mxf";
    std::wstring wide = Utf8ToWide(utf8);
    EXPECT_EQ(wide, L"C:/m\u00e9dia/\u65e5/\xD83C\xDFAC.mxf");
    EXPECT_EQ(WideToUtf8(wide), utf8);
    EXPECT_EQ(WideToNarrow(wide), utf8);
    EXPECT_EQ(Utf8ToWideNoLocale(utf8), wide);
}

// The shipped DLL, loaded by name from beside the test program; nothing has
// initialised it yet.
TEST(ShippedLibrary, RepairsBeforeInitAnswerNoManager)
{
    HMODULE library = LoadLibraryW(L"vexmend.dll");
    ASSERT_NE(library, nullptr) << "LoadLibrary failed: " << GetLastError();
    auto resolve = [&](const char* name) {
        return reinterpret_cast<void*>(GetProcAddress(library, name));
    };
    auto general = reinterpret_cast<int32_t (*)(const char*, const char*)>(
        resolve("QorMxfGeneralRepair"));
    auto advance = reinterpret_cast<int32_t (*)(const char*, const char*, const char*)>(
        resolve("QorMxfAdvanceRepair"));
    auto destroy = reinterpret_cast<void (*)()>(resolve("QorMxfDestroy"));
    ASSERT_TRUE(general && advance && destroy && resolve("QorMxfInit"));
    EXPECT_EQ(general("C:\\in.mxf", "C:\\out.mxf"), VEXMEND_NO_MANAGER);
    EXPECT_EQ(advance("C:\\in.mxf", "C:\\sample.mxf", "C:\\out.mxf"), VEXMEND_NO_MANAGER);
    destroy();  // harmless without a manager
    EXPECT_EQ(general(nullptr, nullptr), VEXMEND_NO_MANAGER);
    FreeLibrary(library);
}

}  // namespace
}  // namespace vexmend
