#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "LogSink.h"
#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "MxfAdvanceRepair/feed/MatroskaStream.h"
#include "MxfAdvanceRepair/merge/MergeArguments.h"
#include "TextConvert.h"
#include "support/TestSupport.h"

namespace vexmend {
namespace {

// A killed process may stay a zombie until its new parent reaps it.
bool Running(const std::string& pid)
{
    const std::string stat = test::ReadText("/proc/" + pid + "/stat");
    return stat.rfind(')') != std::string::npos && stat.compare(stat.rfind(')'), 3, ") Z") != 0;
}

// With a limit of 2 s, the merge's encoder is stopped when its result stops
// growing, and the probe's when its report does not end within the limit of
// its start or its last line, each with what it started; a slow encoder that
// keeps going runs to its end. The encoders read the null device and write
// nothing to the host's standard error. In the stand-ins, $last is the
// merge's result, $in its input (a pipe fed 8 MiB of counted words, lent
// to it in blocks of 4 KiB, far smaller than the pipe, so that a block is
// due again while still unread) and child.pid names a process that the
// encoder started; an encoder that reads its input slowly is not stuck, and
// reads every word as it was written.
TEST(EncoderLimit, StopsOnlyAStuckEncoder)
{
    const struct {
        const char* name;
        bool probe;  // else the merge
        const char* script;
        int32_t result;
        double minSeconds;
    } standIns[] = {
        {"merge, slow writer", false,
         "sleep 30 & echo $! > child.pid; "
         "for i in 1 2 3 4 5 6 7 8; do echo x >> \"$last\"; sleep 0.5; done",
         0, 4.0},
        {"merge, slow reader", false,
         "exec 3<\"$in\"; for i in 1 2 3 4 5 6 7 8; do "
         "dd bs=1M count=1 iflag=fullblock <&3 >>read.dat 2>/dev/null; sleep 0.5; done",
         0, 4.0},
        {"merge stops writing", false,
         "sleep 30 & echo $! > child.pid; "
         "echo x > \"$last\"; sleep 1; echo x >> \"$last\"; sleep 30",
         -4, 3.0},
        {"probe, a child holds the pipe", true, "audio; sleep 30 & echo $! > child.pid", -1, 2.0},
        {"probe, a line that never ends", true, "audio; while :; do printf x >&2; sleep 0.2; done",
         -1, 2.0},
        {"probe, slow lines", true,
         "audio; for i in 1 2 3 4 5; do sleep 0.6; echo Video: >&2; done", 0, 2.9},
    };
    constexpr uint32_t kWords = 2 << 20;
    auto counted = [](EssenceWriter& input) {
        for (uint32_t word = 0; word < kWords; word += 1024) {
            uint32_t* room = reinterpret_cast<uint32_t*>(input.Room(4096));
            for (uint32_t i = 0; i < 1024; ++i) room[i] = word + i;
            input.Advance(4096);
            input.Flush();
        }
    };
    for (const auto& standIn : standIns) {
        SCOPED_TRACE(standIn.name);
        test::TempFolder folder;
        const std::string program = folder / "encoder.sh", pidFile = folder / "child.pid";
        const std::string script =
            "#!/bin/sh\ncd " + test::Quote(folder.Path()) +
            "\nfor last; do :; done\nlast=${last#file:}\nin=${3#file:}\necho noise >&2\n"
            "[ \"$(readlink /proc/self/fd/0)\" = /dev/null ] || exit 9\n"
            "audio() { echo 'Stream #0:1: Audio: pcm_s16le' >&2; }\n" +
            standIn.script + "\n";
        test::WriteBytes(program, {script.begin(), script.end()});
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
        MxfAdvanceRepair engine(MxfAdvanceRepairOptions{program, 2});
        LogSink sink(LogLevel::Debug, folder / "log.txt");
        engine.SetLogger(&sink);
        engine.SetVideoPath(L"", L"/sample.mxf");

        const auto start = std::chrono::steady_clock::now();
        testing::internal::CaptureStderr();
        EXPECT_EQ(standIn.probe ? engine.AnalyzeAudioCodecInfo()
                                : engine.MergeAudioVideo({{{}, folder / "v.dat", counted, true}},
                                                         folder / "out.mxf"),
                  standIn.result);
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_GE(seconds.count(), standIn.minSeconds);
        EXPECT_LT(seconds.count(), 15);
        EXPECT_EQ(engine.AudioStreamCount(), standIn.probe && standIn.result == 0 ? 1u : 0u);
        if (test::Exists(folder / "read.dat")) {
            const std::vector<uint8_t> read = test::ReadBytes(folder / "read.dat");
            ASSERT_EQ(read.size(), kWords * 4);
            for (uint32_t word = 0; word < kWords; ++word) {
                ASSERT_EQ(reinterpret_cast<const uint32_t*>(read.data())[word], word);
            }
        }
        const std::string child = test::Exists(pidFile) ? test::Lines(test::ReadText(pidFile))[0]
                                                        : "";
        for (int i = 0; i < 50 && standIn.result < 0 && Running(child); ++i) usleep(20000);
        EXPECT_FALSE(standIn.result < 0 && Running(child)) << "the encoder's own child";
        if (!child.empty()) kill(std::stoi(child), SIGKILL);
    }
}

// The framed stream as ffmpeg reads it from its pipe: each track's codec, a
// block a frame at the frame's time, and a block whose bytes the damaged
// file no longer held made up to its stated size.
TEST(MatroskaStream, ReadByTheEncoderAsWritten)
{
    const AudioStreamDescription stereo24{"s24le", 48000, 2};
    const std::string kTwoFrames =
        "0,0.000000,900 1,0.000000,11520 0,0.040000,700 1,0.040000,11520 ";
    const struct {
        const char* name;
        const char* codec;
        double rate;
        std::vector<uint64_t> stated, held;  // bytes of each picture
        std::string expected;                // stream,pts,size of each packet, then codecs
    } rows[] = {
        {"MPEG-2 at 25 with sound, the last picture cut short",
         "mpeg2video",
         25,
         {900, 700, 800},
         {900, 700, 300},
         "0,0.000000,900 1,0.000000,11520 0,0.040000,700 1,0.040000,11520 0,0.080000,800 "
         "1,0.080000,11520 mpeg2video pcm_s24le "},
        {"DV at 29.97 as a bitmap codec",
         "dvvideo",
         30000.0 / 1001,
         {120000, 120000},
         {120000, 120000},
         "0,0.000000,120000 1,0.000000,9606 0,0.033300,120000 1,0.033300,9606 dvvideo "
         "pcm_s24le "},
        // Every codec with a Matroska form, read as that codec; ProRes frames
        // without their size and identifier are given them.
        {"ProRes",
         "prores",
         25,
         {900, 700},
         {900, 700},
         "0,0.000000,908 1,0.000000,11520 0,0.040000,708 1,0.040000,11520 prores pcm_s24le "},
        {"JPEG 2000", "jpeg2000", 25, {900, 700}, {900, 700}, kTwoFrames + "jpeg2000 pcm_s24le "},
        {"MJPEG", "mjpeg", 25, {900, 700}, {900, 700}, kTwoFrames + "mjpeg pcm_s24le "},
        {"MPEG-4 Visual", "mpeg4", 25, {900, 700}, {900, 700}, kTwoFrames + "mpeg4 pcm_s24le "},
        {"AVS", "cavs", 25, {900, 700}, {900, 700}, kTwoFrames + "cavs pcm_s24le "},
        {"AVS2", "avs2", 25, {900, 700}, {900, 700}, kTwoFrames + "avs2 pcm_s24le "},
        {"Dirac", "dirac", 25, {900, 700}, {900, 700}, kTwoFrames + "dirac pcm_s24le "},
        {"H.261", "h261", 25, {900, 700}, {900, 700}, kTwoFrames + "h261 pcm_s24le "},
        {"H.263", "h263", 25, {900, 700}, {900, 700}, kTwoFrames + "h263 pcm_s24le "},
        {"AV1", "av1", 25, {900, 700}, {900, 700}, kTwoFrames + "av1 pcm_s24le "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempFolder folder;
        const std::vector<MatroskaTrack> tracks{
            *MatroskaVideoTrack(row.codec, "", row.rate, 720, 576), *MatroskaSoundTrack(stereo24)};
        auto write = [&](EssenceWriter& target) {
            MatroskaWriter stream(target, tracks);
            const uint64_t sound = static_cast<uint64_t>(48000 / row.rate) * 6;
            for (size_t f = 0; f < row.stated.size(); ++f) {
                stream.BeginBlock(0, f, row.stated[f], true);
                target.WriteZeros(row.held[f]);
                stream.EndBlock();
                stream.BeginBlock(1, f, sound, true);
                target.WriteZeros(sound);
                stream.EndBlock();
            }
        };
        EssenceFeeds feeds({{{}, folder / "e.dat", write, true}});
        feeds.Start();
        std::string out;
        test::RunShell(
            "ffprobe -v quiet -show_entries stream=codec_name:packet=stream_index,"
            "pts_time,size -of csv=p=0 " +
                test::Quote(feeds.Inputs()[0].path),
            &out);
        EXPECT_EQ(feeds.Finish(), "");
        std::string found;
        for (const std::string& line : test::Lines(out)) found += line + " ";
        EXPECT_EQ(found, row.expected);
    }
}

// The merge's arguments: each audio track an input of its own, mapped in
// track order and copied; the framed essence one input; the planned length
// at the exact rate, the timecode, and the sample's operational pattern.
TEST(MergeRun, Arguments)
{
    const struct {
        const char* name;
        MergeLayout layout;
        std::vector<MergeInput> inputs;
        const char* expected;
    } rows[] = {
        {"raw video and two tracks",
         {},
         {{{}, "/v.dat", {}}, {{"-f", "s24le"}, "/a.dat", {}}, {{"-ac", "2"}, "/-a2", {}}},
         "-y -i file:/v.dat -f s24le -i file:/a.dat -ac 2 -i file:/-a2 -map 0:v -map 1:a -map 2:a "
         "-acodec copy -vcodec copy -copyinkf -bsf:v setts=pts=N:dts=N -t 0.000000 -f mxf "
         "file:/o.mxf"},
        {"framed essence at 29.97 with a drop-frame timecode",
         {true, 1001, 30000.0 / 1001, Timecode{10, 0, 0, 2, true}, false},
         {{{"-r", "30000/1001", "-f", "matroska"}, "/e.dat", {}, true}},
         "-y -r 30000/1001 -f matroska -i file:/e.dat -map 0:v -map 0:a? -acodec copy -vcodec copy "
         "-copyinkf -bsf:v setts=pts=N:dts=N -t 33.400034 -timecode 10:00:00;02 -f mxf "
         "file:/o.mxf"},
        {"sound alone, one track a file",
         {false, 0, 25, std::nullopt, true},
         {{{"-f", "s24le"}, "/a.dat", {}}},
         "-y -f s24le -i file:/a.dat -map 0:a -acodec copy -f mxf_opatom file:/o.mxf"},
    };
    for (const auto& row : rows) {
        std::string arguments;
        for (const std::string& a : MergeArguments(row.layout, row.inputs, "/o.mxf")) {
            arguments += (arguments.empty() ? "" : " ") + a;
        }
        EXPECT_EQ(arguments, row.expected) << row.name;
    }
}

// In an existing output folder the result takes the damaged file's name, a
// recorder file's lower-case rsv or klv turned to mxf; any other output path
// is used as it is.
TEST(OutputPath, NameRules)
{
    test::TempFolder out;
    EXPECT_EQ(MakeOutputPath(L"/c/A001.rsv", Utf8ToWide(out.Path())), out / "A001.mxf");
    EXPECT_EQ(MakeOutputPath(L"/c/A001.KLV", Utf8ToWide(out.Path())), out / "A001.KLV");
    EXPECT_EQ(MakeOutputPath(L"/c/caf\u00e9.mxf", Utf8ToWide(out.Path())), out / "caf\xc3\xa9.mxf");
    EXPECT_EQ(MakeOutputPath(L"/c/A001.mxf", L"/no/such/folder"), "/no/such/folder");
}

}  // namespace
}  // namespace vexmend
