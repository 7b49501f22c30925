#include <filesystem>
#include <thread>

#include "repair/RepairFixture.h"

namespace vexmend::test {
namespace {

class GeneralRepair : public RepairTest {};
class BothRepairs : public RepairTest {};

// The encoder rewraps every stream of a file that it still reads as MXF, from
// paths of any characters, and nothing but the output is written; a failed
// repair leaves an older file at the output as it was.
TEST_F(GeneralRepair, KeepsEveryStreamAndRefusesAFileThatIsNoLongerMxf)
{
    using Damage = void (*)(std::vector<uint8_t>&);
    const Damage none = [](auto&) {}, cut = [](auto&b) { b.resize(b.size() * 7 / 10); };
    const Damage metadata = [](auto& b) { std::fill_n(b.begin() + 200, 200, 0); };
    const Damage header = [](auto& b) { std::fill_n(b.begin(), ReferenceWalk(b)[0].key, 0); };
    const struct {
        const char* input;  // in the current folder
        MediaRecipe recipe;
        Damage damage;
        size_t audioStreams;           // of the result; 0: the repair fails
        const char* output = nullptr;  // in the current folder; else in the work folder
    } cases[] = {
        {"caf\xc3\xa9 metadata \xe6\x97\xa5\xe6\x9c\xac.mxf", {}, metadata, 1},
        {"eight mono, end cut off.mxf", {50, "25", "pcm_s24le", 1, 8}, cut, 8},
        {"long GOP, cut inside a group.mxf", {50, "25", "pcm_s16le", 2, 1, 2}, cut, 1},
        {"header partition gone.mxf", {}, header, 0},
        {"evil.mxf\" -f mxf \"victim.txt", {}, none, 1},  // one argument, not the decoy
        {"take.rsv", {}, none, 1},  // read as MXF; take.mxf beside it is not the library's
        // Names that the encoder would read as protocols: the file x is not
        // the input, and the output does not replace C0001.MXF.
        {"file:x", {}, none, 1},
        {"C0001.MXF", {}, none, 1, "file:C0001.MXF"},
    };
    MakeMxf(media / "evil.mxf", MediaRecipe{10});
    MakeMxf(media / "x", MediaRecipe{10});
    WriteBytes(media / "victim.txt", {'v'});
    WriteBytes(media / "take.mxf", {'k'});
    struct Back {
        std::filesystem::path folder = std::filesystem::current_path();
        ~Back() { std::filesystem::current_path(folder); }
    } back;
    std::filesystem::current_path(media.Path());  // where stray arguments would write
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        NextCase();
        QorMxfDestroy();  // the library stays usable
        const std::string input = media / c.input;
        const std::string given = c.output ? c.output : work / "new dir/" + c.input + ".mxf";
        const std::string output = c.output ? media / c.output : given;
        MakeMxf(input, c.recipe);
        std::vector<uint8_t> bytes = ReadBytes(input);
        c.damage(bytes);
        WriteBytes(input, bytes);
        const bool ok = c.audioStreams > 0;
        if (!ok) WriteBytes(output, {'o', 'l', 'd'});
        const auto mediaBefore = HashTree(media.Path()), workBefore = HashTree(work / "work");

        EXPECT_EQ(QorMxfGeneralRepair(c.input, given.c_str()), ok ? VEXMEND_OK : VEXMEND_NO_OUTPUT);
        ProbeResult probe = Probe(output);
        EXPECT_EQ(probe.videoStreams, ok ? 1 : 0);
        EXPECT_EQ(probe.audio.size(), c.audioStreams);
        // Less a picture cut short, and those shown after pictures lost with it.
        EXPECT_NEAR(probe.videoPackets, ok ? Probe(input).videoPackets : 0, 4);
        std::string warnings;
        RunShell("ffprobe -v warning " + Quote(output), &warnings);
        EXPECT_EQ(warnings.find("out of bounds"), warnings.npos) << warnings;
        EXPECT_EQ(ReadText(output) == "old", !ok);
        auto mediaAfter = HashTree(media.Path());
        mediaAfter.erase(output);
        EXPECT_EQ(mediaAfter, mediaBefore);
        EXPECT_EQ(HashTree(work / "work"), workBefore);
        EXPECT_TRUE(Logged(ok ? ") GeneralRepair Completed,general out file: " + given + "\n"
                              : ") [GeneralRepair] encoder exit status: 1\n"));
    }
}

// Both repairs refuse, before anything is written or run, missing arguments,
// an output that would replace an input, an input in the library's work
// folders, and an input that is not a regular file (a FIFO would block for ever).
TEST_F(BothRepairs, RefusedArgumentsChangeNothing)
{
    const std::string m = work / "media", w = work / "work", fifo = m + "/fifo";
    const std::string rv = w + "/RepairedVideo", av = w + "/AdvanceRepairedVideo";
    const std::string replace = "output would replace an input: ", notRegular = "input is not a ";
    const std::string inWork = "input lies in a work folder of the library: ";
    const struct {
        std::string input, sample, output, record;
    } cases[] = {
        {m + "/in.mxf", "", m + "/./in.mxf", replace + m + "/./in.mxf"},
        {m + "/in.mxf", "", m + "/link.mxf", replace + m + "/link.mxf"},
        {m + "/in.mxf", "", m + "/hard.mxf", replace + m + "/hard.mxf"},
        {rv + "/clip.rsv", "", m + "/o.mxf", inWork + rv + "/clip.rsv"},
        {av + "/in.mxf", "", m + "/o", inWork + av + "/in.mxf"},
        {fifo, "", m + "/o.mxf", notRegular + "file: " + fifo},
        {m + "/no such.mxf", "", m + "/o.mxf", notRegular + "file: " + m + "/no such.mxf"},
        {m + "/sub", "", m + "/o.mxf", notRegular + "file: " + m + "/sub"},
        {m + "/in.mxf", m + "/s.mxf", m + "/sub/../in.mxf", replace + m + "/sub/../in.mxf"},
        {m + "/in.mxf", m + "/s.mxf", m + "/s.mxf", replace + m + "/s.mxf"},
        {m + "/in.mxf", m + "/s.mxf", m, replace + m},  // the result would be m/in.mxf
        {av + "/in.mxf", m + "/s.mxf", m + "/o", inWork + av + "/in.mxf"},
        {m + "/in.mxf", rv + "/s.mxf", m + "/o", inWork + rv + "/s.mxf"},
        {fifo, m + "/s.mxf", m + "/o", notRegular + "regular file: " + fifo},
        {m + "/in.mxf", fifo, m + "/o", notRegular + "regular file: " + fifo},
        {m + "/in.mxf", m + "/sub", m + "/o", notRegular + "regular file: " + m + "/sub"},
    };
    ASSERT_EQ(
        RunShell("cd " + Quote(work.Path()) +
                 " && mkdir -p media/sub work/RepairedVideo work/AdvanceRepairedVideo && cd work"
                 " && touch RepairedVideo/clip.rsv RepairedVideo/clip.mxf RepairedVideo/s.mxf"
                 " AdvanceRepairedVideo/in.mxf && cd ../media && echo i >in.mxf && echo s >s.mxf"
                 " && mkfifo fifo && ln -s in.mxf link.mxf && ln in.mxf hard.mxf"),
        0);
    const auto before = HashTree(work.Path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input + " + " + c.sample + " -> " + c.output);
        const bool general = c.sample.empty(), input = c.record.find(notRegular) == 0;
        EXPECT_EQ(RunRepair(c.input, c.sample, c.output), !general ? VEXMEND_ADVANCE_FAILED
                                                          : input  ? VEXMEND_NO_INPUT
                                                                   : VEXMEND_NO_OUTPUT);
        EXPECT_TRUE(
            Logged((general ? ") [GeneralRepair] " : ") [AdvanceRepair] ") + c.record + "\n"));
    }
    const char* in = cases[0].input.c_str();
    EXPECT_EQ(QorMxfGeneralRepair(nullptr, in), VEXMEND_NO_INPUT);
    EXPECT_EQ(QorMxfGeneralRepair("", in), VEXMEND_NO_INPUT);
    EXPECT_EQ(QorMxfGeneralRepair(in, nullptr), VEXMEND_NO_OUTPUT);
    EXPECT_EQ(QorMxfGeneralRepair(in, ""), VEXMEND_NO_OUTPUT);
    EXPECT_EQ(QorMxfAdvanceRepair(in, nullptr, "o2.mxf"), VEXMEND_MISSING_PATH);
    EXPECT_EQ(QorMxfAdvanceRepair(nullptr, in, "o2.mxf"), VEXMEND_MISSING_PATH);
    EXPECT_EQ(QorMxfAdvanceRepair(in, in, ""), VEXMEND_ADVANCE_FAILED);
    EXPECT_EQ(QorMxfAdvanceRepair(in, "", "o2.mxf"), VEXMEND_ADVANCE_FAILED);
    EXPECT_EQ(HashTree(work.Path()), before);
    EXPECT_FALSE(Logged("ffmpeg Repair completed.") || Logged("probe sample:"));
}

// Calls that overlap wait for each other; each damaged file is closed when
// its repair returns.
TEST_F(BothRepairs, RepairsFromTwoThreadsAtOnceBothSucceed)
{
    for (const char* name : {"d0.mxf", "s0.mxf", "d1.mxf", "s1.mxf"}) MakeMxf(media / name, {});
    const auto before = HashTree(media.Path());
    std::vector<int32_t> results(4, 1);
    auto repairs = [&](int i) {
        const std::string n = std::to_string(i), damaged = media / ("d" + n + ".mxf");
        results[i] = RunRepair(damaged, media / ("s" + n + ".mxf"), work / ("a" + n + ".mxf"));
        results[2 + i] = RunRepair(damaged, "", work / ("g" + n + ".mxf"));
    };
    std::thread first(repairs, 0), second(repairs, 1);
    first.join();
    second.join();
    EXPECT_EQ(results, std::vector<int32_t>(4, VEXMEND_OK));
    EXPECT_FALSE(OpenInThisProcess(media / "d0.mxf") || OpenInThisProcess(media / "d1.mxf"));
    EXPECT_EQ(HashTree(media.Path()), before);
}

}  // namespace
}  // namespace vexmend::test
