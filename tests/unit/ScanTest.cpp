#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <regex>

#include "LogSink.h"
#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "StreamBuffer.h"
#include "TextConvert.h"
#include "support/TestSupport.h"

namespace vexmend {
namespace {

using namespace test;
using Bytes = std::vector<uint8_t>;
constexpr uint64_t kMiB = 0x100000;
const uint8_t kVideoHeader[17] = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02, 0x01, 0x01, 0x0D,
                                  0x01, 0x03, 0x01, 0x15, 0x01, 0x01, 0x01, 0x01};

// Files of essence elements, fill items and zeros.
struct Maker {
    Bytes file;

    Maker& Key(uint8_t type, const Bytes& length)
    {
        return Append(Bytes(mxf::kEssenceElement.bytes, mxf::kEssenceElement.bytes + 12))
            .Append({type, 1, 1, 1})
            .Append(length);
    }
    // Values repeat a video element's header, which the walk must jump over unseen.
    Maker& Element(uint8_t type, uint64_t size)
    {
        Key(type, size < 0x80 ? Bytes{uint8_t(size)}
                              : Bytes{0x84, uint8_t(size >> 24), uint8_t(size >> 16),
                                      uint8_t(size >> 8), uint8_t(size)});
        for (uint64_t i = 0; i < size; ++i) file.push_back(kVideoHeader[i % 17]);
        return *this;
    }
    Maker& Zeros(uint64_t n) { return Append(Bytes(n)); }
    Maker& Append(const Bytes& b) { return file.insert(file.end(), b.begin(), b.end()), *this; }
};

// The engine's walk checked against the reference walk; returns its elements
// as text.
std::string ExpectReferenceWalk(const Bytes& file, const WalkSettings& settings)
{
    const std::string engine = Describe(EngineWalk(file.data(), file.size(), settings));
    EXPECT_EQ(engine, Describe(WalkFile(file.data(), file.size(), settings)));
    return engine.substr(0, engine.find('|'));
}

// Elements of many sizes between zeros and element headers cut short; with a
// small window, a value that empties it and an element at each of the 40
// places before the next window's end, the file ending 0 to 29 bytes after it.
TEST(ScanWalk, MatchesTheReferenceWalkAtTheEndOfAWindow)
{
    const WalkSettings windows[] = {{64, 25},     {64, 64},       {100, 17},    {333, 40},
                                    {4096, 1000}, {256, 30, 700}, {200, 17, 5}, {}};
    for (const WalkSettings& settings : windows) {
        const uint64_t capacity = settings.capacity, base = capacity < kMiB ? capacity - 40 : 0;
        Maker maker;
        for (uint64_t i = 0; i < 40; ++i) {
            maker.Element(i % 3 ? 0x15 : 0x16, i * i * i % 997 + 1).Zeros(i % 5);
            maker.Append(Bytes(kVideoHeader, kVideoHeader + i % 18)).Zeros(i % 2);
        }
        if (base != 0) maker.Element(0x15, capacity);
        for (uint64_t pad = base; pad < base + (base != 0 ? 40 : 1); ++pad) {
            const Bytes file = Maker{maker.file}.Zeros(pad).Element(0x15, 1).Zeros(30).file;
            for (size_t cut = 0; cut < 30; ++cut) {
                SCOPED_TRACE(testing::Message()
                             << "window " << capacity << " pad " << pad << " cut " << cut);
                ExpectReferenceWalk(Bytes(file.begin(), file.end() - cut), settings);
            }
        }
    }
}

TEST(ScanWalk, FindsWhatTheReaderShowsIt)
{
    auto at = [](uint64_t offset) {  // an element in a file of 74 bytes
        return Maker().Zeros(offset).Key(0x15, {0x01}).Zeros(74 - 17 - offset).file;
    };
    const Bytes two = Maker().Element(0x15, 10).Zeros(100).Element(0x15, 10).file;
    Bytes fill = Maker().Key(0x01, {0x83, 0, 0x03, 0xE8}).file,
          version = Maker().Key(0x15, {1}).file;
    fill[5] = 0x01;     // 06 0E 2B 34 01 01 ...
    version[7] = 0x02;  // the registry version byte
    // Item types that are no essence and lengths that are none: zero, no
    // following byte, nine following bytes, too large, cut off by the file's end.
    // clang-format off
    const Bytes keys[] = {
        {0x14, 1}, {0x17, 1}, {0x04, 1}, {0x25, 1}, {0x15, 0x00}, {0x15, 0x80, 0x10},
        {0x15, 0x83, 0, 0, 0}, {0x15, 0x89, 0, 0, 0, 0, 0, 0, 0, 0, 1},
        {0x16, 0x88, 0x80, 0, 0, 0, 0, 0, 0, 0}, {0x15, 0x88, 255, 255, 255, 255, 255, 255, 255, 255},
        {0x15, 0x84, 0x00, 0x10}};
    // clang-format on
    Maker rejected{version};
    for (const Bytes& key : keys) rejected.Key(key[0], Bytes(key.begin() + 1, key.end()));
    const struct {
        const char* name;
        Bytes file;
        WalkSettings settings;
        const char* expected;
    } cases[] = {
        // clang-format off
        {"back to back", Maker().Element(0x15, 100).Element(0x15, 5000).Element(0x16, 1)
                             .Element(0x15, 127).Element(0x15, 128).file, {64, 25},
         "17+100v 138+5000v 5155+1a 5173+127v 5321+128v "},
        {"fill item", Maker{fill}.Zeros(1000).Element(0x15, 10).file, {64, 25}, "1037+10v "},
        {"rejected keys", rejected.file, {64, 25}, ""},
        {"item types", Maker().Element(0x05, 127).Key(0x06, {0x81, 0x80}).Zeros(128)
                           .Element(0x18, 1).file, {64, 25}, "17+127v 162+128a 307+1v "},
        // The window holds [0, 64) of 74 bytes; the last 10 come with a refill
        // once fewer than 10 valid bytes are left.
        {"header cut by the window", at(50), {64, 25}, ""},
        {"header in the window", at(47), {64, 25}, "64+1v "},
        {"first position after a refill", at(55), {64, 25}, "72+1v "},
        {"whole file in the window", at(50), {128, 25}, "67+1v "},
        {"past the end", Maker().Element(0x15, 10).Key(0x15, {0x83, 1, 0, 0}).Zeros(100).file,
         {64, 25}, "17+10v 47+65536v "},
        {"largest length", Maker().Key(0x16, {0x88, 0x7F, 255, 255, 255, 255, 255, 255, 255}).file,
         {64, 25}, "25+9223372036854775807a "},
        {"eight length bytes", Maker().Key(0x15, {0x88, 0, 0, 0, 0, 0, 0, 1, 2}).file, {64, 25},
         "25+258v "},
        {"limit not passed", two, {64, 25, 100}, "17+10v 144+10v "},
        {"limit passed", two, {64, 25, 99}, "17+10v "},
        {"limit counts one run", Maker{two}.Zeros(100).Element(0x15, 10).file, {64, 25, 100},
         "17+10v 144+10v 271+10v "},
        {"file shrank", two, {64, 25, 0x80000000, 60}, "17+10v "},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ExpectReferenceWalk(c.file, c.settings), c.expected);
    }
}

// What the walks over files in memory do not show of the reader: it reads
// only when too few bytes are valid, a short or failed read ends its source,
// and a skip of more than 4 GiB empties the window.
TEST(StreamBuffer, ReadsOnlyWhenNeededAndNeverAfterAShortRead)
{
    std::vector<uint64_t> reads;  // where each read started
    int32_t deliver = 64;         // most bytes a read gives; -1: reads fail
    auto source = [&](uint64_t offset, uint8_t* to, uint64_t count) {
        reads.push_back(offset);
        const int32_t n = std::min(deliver, static_cast<int32_t>(count));
        if (n > 0) std::memset(to, 7, static_cast<size_t>(n));
        return n;
    };
    StreamBuffer whole(64, 0, source, 1000);
    EXPECT_TRUE(whole.Require(64));
    whole.Skip(10);
    EXPECT_TRUE(whole.Require(54));
    EXPECT_EQ(reads, std::vector<uint64_t>{0});
    EXPECT_TRUE(whole.Require(55));  // reads the 10 bytes after the valid ones
    EXPECT_EQ(reads, (std::vector<uint64_t>{0, 64}));
    whole.Skip(0x100000010);
    EXPECT_EQ(whole.Position(), 0x10000001Au);
    EXPECT_EQ(whole.Available(), 0);
    for (const int32_t most : {20, -1}) {
        deliver = most;
        SCOPED_TRACE(deliver);
        reads.clear();
        StreamBuffer cut(64, 0, source, 1000);
        EXPECT_FALSE(cut.Require(30));
        EXPECT_EQ(cut.Available(), std::max(deliver, 0));
        cut.Skip(5);
        EXPECT_FALSE(cut.Require(16));
        EXPECT_EQ(reads, std::vector<uint64_t>{0});
    }
}

struct ScanRun {
    int32_t result = 0;
    std::vector<EssenceSample> video;
    std::vector<std::string> log;  // records without their time and line number
};

ScanRun Scan(const Bytes& file)
{
    TempFolder folder;
    const std::string path = folder / "damaged file.mxf";
    WriteBytes(path, file);
    ScanRun run;
    {
        LogSink sink(LogLevel::Debug, folder / "scan.log");
        MxfAdvanceRepair engine;
        engine.SetLogger(&sink);
        engine.SetVideoPath(Utf8ToWideNoLocale(path), L"");
        run.result = engine.Repair();
        run.video = engine.VideoSamples();
    }
    const std::regex prefix(R"((\[\w+\] )\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \(\d+\) )");
    for (const std::string& line : Lines(ReadText(folder / "scan.log")))
        run.log.push_back(std::regex_replace(line, prefix, "$1"));
    return run;
}

TEST(Scan, NeedsFiveVideoFramesAndReportsTheFirstNineAndLastTen)
{
    for (uint64_t frames : {0, 4, 5, 20}) {
        Maker maker;
        std::vector<std::pair<uint64_t, uint64_t>> tables[2];  // offset, size
        for (uint64_t i = 0; i < 21; ++i) {
            for (int kind = i < frames ? 0 : 1; kind < 2; ++kind) {
                const uint64_t size = kind == 0 ? 200 + i : 0x80;
                maker.Element(0x15 + kind, size);
                tables[kind].emplace_back(maker.file.size() - size, size);
            }
            maker.Zeros(i);
        }
        std::vector<std::string> expected = {"[DEBUG] Start  MxfAdvanceRepair::Repair",
                                             "[INFO] [mxf] Unrecognised bytes:  210"};
        char text[200];
        uint64_t totals[2] = {0, 0};
        for (int kind : {0, 1}) {
            const char* name = kind == 0 ? "Video" : "Audio";
            expected.push_back(std::string("[INFO] [mxf] ") + name +
                               " samples counts is:  " + std::to_string(tables[kind].size()));
            for (size_t n = 1; n <= tables[kind].size(); ++n) {
                auto [offset, size] = tables[kind][n - 1];
                totals[kind] += size;
                if (n >= 10 && n + 10 <= tables[kind].size()) continue;
                expected.push_back(
                    std::string("[INFO] ") + name + " Frame Info:" + (kind == 0 ? " " : "") +
                    " [mxf] " + name + " sample Sequence " + std::to_string(n) +
                    ": offset:" + std::to_string(offset) + ", size:" + std::to_string(size));
                expected.push_back("");
            }
        }
        std::snprintf(
            text, sizeof text,
            "[INFO] Repair Percent: [mxf] Video Repair Percent is %f,Audio Repair Percent is %f",
            totals[0] / double(maker.file.size()) * 100,
            totals[1] / double(maker.file.size()) * 100);
        expected.insert(expected.end(), {text, ""});
        if (frames < 5) {
            expected = {expected[0], expected[1], "[INFO] [MXF] video frame is less than 5. -1"};
        }
        ScanRun run = Scan(maker.file);
        EXPECT_EQ(run.result, frames < 5 ? -1 : 0);
        EXPECT_EQ(std::vector<std::string>(run.log.begin() + 1, run.log.end()), expected);
    }
    EXPECT_EQ(Scan({}).log.back(), "[INFO] [MXF] video frame is less than 5. -1");
}

// The first window holds the first 32 MiB: a key 14 bytes before its end is
// cut off unless the rest of the file is more than the 14 bytes left in it.
TEST(Scan, KeyJustBeforeTheEndOfTheFirstWindow)
{
    for (uint64_t rest : {10, 40}) {
        Maker maker;
        for (int i = 0; i < 5; ++i) maker.Element(0x15, 1000);
        maker.Zeros(32 * kMiB - 14 - maker.file.size()).Element(0x15, 1).Zeros(rest - 4);
        ScanRun run = Scan(maker.file);
        ASSERT_EQ(run.video.size(), rest == 10 ? 5u : 6u) << rest;
        EXPECT_EQ(run.video.back().offset, rest == 10 ? 4 * 1021 + 21 : 32 * kMiB + 3);
        EXPECT_EQ(ReferenceWalk(maker.file).size(), run.video.size());
    }
}

}  // namespace
}  // namespace vexmend
