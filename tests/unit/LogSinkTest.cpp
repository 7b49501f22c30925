#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <set>

#include "LogSink.h"
#include "support/TestSupport.h"

namespace vexmend {
namespace {

using namespace test;

std::string LocalTimeNow()
{
    std::time_t now = std::time(nullptr);
    char text[32];
    return std::string(text,
                       std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", std::localtime(&now)));
}

// Records at or above the threshold are appended, one line each; a sink
// whose file could not be opened drops its records, also once it could.
TEST(LogSink, AppendsOneLinePerRecordForEveryValueKind)
{
    TempFolder folder;
    WriteBytes(folder / "log.txt", {'o', 'l', 'd', '\n'});
    std::set<std::string> stamps = {LocalTimeNow()};
    {
        LogSink sink(LogLevel::Info, folder / "log.txt");
        sink.Write(LogLevel::Error, 328, "[ENCD] cmd is empty.", int32_t{-1});
        sink.Write(LogLevel::Debug, 6, "dropped", "");
        sink.Write(LogLevel::Info, 7, "Start ", "");
        sink.Write(LogLevel::Info, 8, "", "value");
        sink.Write(LogLevel::Warning, 9, "size", uint64_t{18446744073709551615u});
        sink.Write(LogLevel::Info, 10, "path", std::wstring(L"/t\u00e9st/\u65e5.mxf"));
        sink.Write(LogLevel::Info, 11, "text", std::string("a b"));
        sink.Write(LogLevel::Info, 12, "percent", "x\n");
    }
    stamps.insert(LocalTimeNow());
    // clang-format off
    const std::vector<std::string> expected = {"old",
        "[ERROR] @ (328) [ENCD] cmd is empty. -1", "[INFO] @ (7) Start  ", "[INFO] @ (8)  value",
        "[WARNING] @ (9) size 18446744073709551615", "[INFO] @ (10) path /t\xc3\xa9st/\xe6\x97\xa5.mxf",
        "[INFO] @ (11) text a b", "[INFO] @ (12) percent x", ""};
    // clang-format on
    std::vector<std::string> lines = Lines(ReadText(folder / "log.txt"));
    for (std::string& line : lines) {
        const size_t tag = line.find("] ");  // the stamp follows the level's tag
        if (tag == std::string::npos) continue;
        EXPECT_EQ(stamps.count(line.substr(tag + 2, 19)), 1u) << line;
        line.replace(tag + 2, 19, "@");
    }
    EXPECT_EQ(lines, expected);
    LogSink sink(LogLevel::Debug, folder / "later/log.txt");
    std::filesystem::create_directory(std::filesystem::u8path(folder / "later"));
    sink.Write(LogLevel::Error, 1, "lost", "");
    EXPECT_FALSE(Exists(folder / "later/log.txt"));
}

}  // namespace
}  // namespace vexmend
