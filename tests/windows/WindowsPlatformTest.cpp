// What only the Windows build can get wrong: paths from the Windows API, text
// mode records, the DLL's exports and loader dependencies, and the encoder's
// command line through CreateProcessW.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <regex>
#include <string>

#include "EncoderLocation.h"
#include "LogSink.h"
#include "TextConvert.h"
#include "support/TestSupport.h"
#include "vexmend.h"

namespace vexmend {
namespace {

using test::Lines;
using test::ReadText;
using test::TempFolder;

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

TEST(WindowsLog, RecordsEndInCrLfAndGoToUnicodeFolders)
{
    TempFolder folder;
    const std::string logFolder = folder /
                                  "journ\xc3\xa9"
                                  "e \xe6\x97\xa5";
    ASSERT_TRUE(std::filesystem::create_directory(std::filesystem::u8path(logFolder)));
    {
        LogSink sink(LogLevel::Info, logFolder + "/log.txt");
        sink.Write(LogLevel::Info, 42, "path", std::wstring(L"C:\\clip \u00e9.mxf"));
        sink.Write(LogLevel::Debug, 43, "dropped", "");
        sink.Write(LogLevel::Error, 44, "code", int32_t{-2054});
    }
    const std::string text = ReadText(logFolder + "/log.txt");
    const std::string stamp = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})";
    EXPECT_TRUE(std::regex_match(
        text, std::regex(R"(\[INFO\] )" + stamp + R"( \(42\) path C:\\clip \xc3\xa9\.mxf\r\n)" +
                         R"(\[ERROR\] )" + stamp + R"( \(44\) code -2054\r\n)")))
        << text;
}

// The shipped DLL, loaded by name from beside the test program.
class ShippedLibrary : public ::testing::Test {
protected:
    using Init = int32_t (*)(const char*, intptr_t, const char*);
    using Destroy = void (*)();
    using General = int32_t (*)(const char*, const char*);
    using Advance = int32_t (*)(const char*, const char*, const char*);

    void SetUp() override
    {
        library = LoadLibraryW(L"vexmend.dll");
        ASSERT_NE(library, nullptr) << "LoadLibrary failed: " << GetLastError();
        init = Resolve<Init>("QorMxfInit");
        destroy = Resolve<Destroy>("QorMxfDestroy");
        general = Resolve<General>("QorMxfGeneralRepair");
        advance = Resolve<Advance>("QorMxfAdvanceRepair");
        ASSERT_TRUE(init && destroy && general && advance);
    }

    void TearDown() override
    {
        if (library != nullptr) FreeLibrary(library);
    }

    template <typename Function>
    Function Resolve(const char* name)
    {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    }

    HMODULE library = nullptr;
    Init init = nullptr;
    Destroy destroy = nullptr;
    General general = nullptr;
    Advance advance = nullptr;
};

TEST_F(ShippedLibrary, RepairsBeforeInitAnswerNoManager)
{
    // The library was loaded fresh by SetUp; nothing has initialised it.
    EXPECT_EQ(general("C:\\in.mxf", "C:\\out.mxf"), VEXMEND_NO_MANAGER);
    EXPECT_EQ(advance("C:\\in.mxf", "C:\\sample.mxf", "C:\\out.mxf"), VEXMEND_NO_MANAGER);
    destroy();  // harmless without a manager
    EXPECT_EQ(general(nullptr, nullptr), VEXMEND_NO_MANAGER);
}

TEST_F(ShippedLibrary, GeneralRepairHandsQuotedPathsWithSpacesToTheEncoder)
{
    TempFolder folder;
    namespace fs = std::filesystem;
    const std::string media = folder / "media with spaces";
    const std::string logs = folder / "log folder";
    const std::string work = folder / "work folder";
    for (const std::string& made : {media, logs, work}) fs::create_directory(fs::u8path(made));

    const std::string input = media + "/clip one \xc3\xa9.mxf";
    const std::string output = media + "/out dir/repaired clip.mxf";
    test::WriteBytes(input, {'M', 'X', 'F', 0, 1, 2, '"', ' ', 3});
    const std::wstring record = GetHostFolder() + L"/command-line.txt";
    DeleteFileW(record.c_str());

    ASSERT_EQ(init(logs.c_str(), 0, work.c_str()), VEXMEND_OK);
    ASSERT_EQ(general(input.c_str(), output.c_str()), VEXMEND_OK);
    EXPECT_EQ(test::ReadBytes(output), test::ReadBytes(input));

    // Line 0 is the raw command line, then the arguments the child saw.
    std::vector<std::string> lines = Lines(ReadText(WideToUtf8(record)));
    ASSERT_EQ(lines.size(), 14u) << ReadText(WideToUtf8(record));
    EXPECT_NE(lines[0].find(" -y -f mxf -i \""), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("\" -map 0:v? -map 0:a? -codec copy \"" + output + "\""),
              std::string::npos)
        << lines[0];
    EXPECT_TRUE(fs::equivalent(fs::u8path(lines[6]), fs::u8path(input))) << lines[6];
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.begin() + 6),
              (std::vector<std::string>{"-y", "-f", "mxf", "-i"}));
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 7, lines.end()),
              (std::vector<std::string>{"-map", "0:v?", "-map", "0:a?", "-codec", "copy", output}));

    const std::string log = ReadText(logs + "/QorVideoRepair.log");
    EXPECT_NE(log.find(") GeneralRepair Completed,general out file: " + output + "\r\n"),
              std::string::npos)
        << log;
    EXPECT_TRUE(test::Exists(work + "/RepairedVideo"));
    destroy();
}

}  // namespace
}  // namespace vexmend
