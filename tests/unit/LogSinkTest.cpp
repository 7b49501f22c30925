#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "LogSink.h"
#include "support/TestSupport.h"

namespace vexmend {
namespace {

using test::Lines;
using test::ReadText;
using test::TempFolder;

const std::string kStamp = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})";

TEST(LogSink, RecordFormatForEveryValueKind)
{
    TempFolder folder;
    {
        LogSink sink(LogLevel::Debug, folder / "log.txt");
        sink.Write(LogLevel::Error, 328, "[ENCD] cmd is empty.", int32_t{-1});
        sink.Write(LogLevel::Debug, 7, "Start", "");
        sink.Write(LogLevel::Info, 8, "", "value");
        sink.Write(LogLevel::Warning, 9, "size", uint64_t{4194304});
        sink.Write(LogLevel::Info, 10, "path", std::wstring(L"/t\u00e9st/\u65e5.mxf"));
        sink.Write(LogLevel::Info, 11, "text", std::string("a b"));
        sink.Write(LogLevel::Info, 12, "code", int32_t{-2055});
    }
    std::vector<std::string> lines = Lines(ReadText(folder / "log.txt"));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_TRUE(std::regex_match(
        lines[0], std::regex(R"(\[ERROR\] )" + kStamp + R"( \(328\) \[ENCD\] cmd is empty\. -1)")));
    EXPECT_TRUE(
        std::regex_match(lines[1], std::regex(R"(\[DEBUG\] )" + kStamp + R"( \(7\) Start )")));
    EXPECT_TRUE(
        std::regex_match(lines[2], std::regex(R"(\[INFO\] )" + kStamp + R"( \(8\)  value)")));
    EXPECT_TRUE(std::regex_match(
        lines[3], std::regex(R"(\[WARNING\] )" + kStamp + R"( \(9\) size 4194304)")));
    EXPECT_EQ(lines[4].substr(lines[4].find(") ")), ") path /t\xc3\xa9st/\xe6\x97\xa5.mxf");
    EXPECT_EQ(lines[5].substr(lines[5].find(") ")), ") text a b");
    EXPECT_EQ(lines[6].substr(lines[6].find(") ")), ") code -2055");
}

TEST(LogSink, ThresholdDropsLowerLevelsAndKeepsEqualOnes)
{
    TempFolder folder;
    {
        LogSink sink(LogLevel::Warning, folder / "log.txt");
        sink.Write(LogLevel::Debug, 1, "debug", "");
        sink.Write(LogLevel::Info, 2, "info", "");
        sink.Write(LogLevel::Warning, 3, "warning", "");
        sink.Write(LogLevel::Error, 4, "error", "");
    }
    std::vector<std::string> lines = Lines(ReadText(folder / "log.txt"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("[WARNING] ", 0), 0u);
    EXPECT_EQ(lines[1].rfind("[ERROR] ", 0), 0u);
    EXPECT_EQ(LogLevelFromName("DEBUG"), LogLevel::Debug);
    EXPECT_EQ(LogLevelFromName("Info"), LogLevel::Info);
    EXPECT_EQ(LogLevelFromName("warning"), LogLevel::Warning);
    EXPECT_EQ(LogLevelFromName("error"), LogLevel::Debug);
}

TEST(LogSink, AppendsToExistingFileAndKeepsValueLineFeeds)
{
    TempFolder folder;
    test::WriteBytes(folder / "log.txt", {'o', 'l', 'd', '\n'});
    {
        LogSink sink(LogLevel::Debug, folder / "log.txt");
        sink.Write(LogLevel::Info, 1, "Repair Percent:", "x\n");
    }
    std::vector<std::string> lines = Lines(ReadText(folder / "log.txt"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "old");
    EXPECT_EQ(lines[2], "");
}

TEST(LogSink, UnopenableFileDropsRecordsSilently)
{
    TempFolder folder;
    LogSink sink(LogLevel::Debug, folder / "missing/folder/log.txt");
    sink.Write(LogLevel::Error, 1, "lost", "");
    EXPECT_FALSE(test::Exists(folder / "missing"));
}

TEST(LogSink, ConcurrentWritersProduceWholeLines)
{
    TempFolder folder;
    const int perThread = 2000;
    {
        LogSink sink(LogLevel::Debug, folder / "log.txt");
        std::vector<std::thread> writers;
        for (int t = 0; t < 4; ++t) {
            writers.emplace_back([&sink, t] {
                std::string message(100, static_cast<char>('a' + t));
                for (int i = 0; i < perThread; ++i)
                    sink.Write(LogLevel::Info, t + 1, message, int32_t{i});
            });
        }
        for (std::thread& writer : writers) writer.join();
    }
    std::vector<std::string> lines = Lines(ReadText(folder / "log.txt"));
    ASSERT_EQ(lines.size(), 4u * perThread);
    std::regex whole(R"(\[INFO\] )" + kStamp + R"( \((\d)\) ([a-d])\2{99} \d+)");
    for (const std::string& line : lines) ASSERT_TRUE(std::regex_match(line, whole)) << line;
}

}  // namespace
}  // namespace vexmend
