#include <filesystem>

#include "repair/RepairFixture.h"

namespace vexmend::test {
namespace {

// Overwrites part of the header metadata; ffmpeg still finds both streams.
void DamageHeaderMetadata(const std::string& path)
{
    std::vector<uint8_t> bytes = ReadBytes(path);
    std::fill(bytes.begin() + 200, bytes.begin() + 400, 0);
    WriteBytes(path, bytes);
}

class GeneralRepair : public RepairTest {};

TEST_F(GeneralRepair, RewrapsAHeaderDamagedFileWithBothStreams)
{
    std::string input = media / "clip.mxf";
    MakeMxf(input, MediaSpec{});
    DamageHeaderMetadata(input);
    uint64_t before = HashFile(input);
    std::string output = media / "new/deeper/repaired.mxf";

    EXPECT_EQ(QorMxfGeneralRepair(input.c_str(), output.c_str()), VEXMEND_OK);
    ProbeResult probe = Probe(output);
    EXPECT_TRUE(probe.readable);
    EXPECT_EQ(probe.videoStreams, 1);
    EXPECT_EQ(probe.audioStreams, 1);
    EXPECT_EQ(HashFile(input), before);
    EXPECT_TRUE(Exists(work / "work/RepairedVideo"));
    EXPECT_TRUE(Logged(") Start VideoRepairManager::GeneralRepair"));
    EXPECT_TRUE(Logged(") [GeneralRepair] Start repair: " + input));
    EXPECT_TRUE(Logged(") ffmpeg Repair completed. VideoRepairManager::FfmpegRepair"));
    EXPECT_TRUE(Logged(") GeneralRepair Completed,general out file: " + output));

    // Repeated after destroy, into the same output: overwritten, same log.
    QorMxfDestroy();
    EXPECT_EQ(QorMxfGeneralRepair(input.c_str(), output.c_str()), VEXMEND_OK);
    EXPECT_EQ(CountLogged("GeneralRepair Completed,general out file:"), 2u);
}

TEST_F(GeneralRepair, RecorderExtensionsAreShownToTheEncoderAsMxfCopies)
{
    std::string input = media / "clip.rsv";
    MakeMxf(media / "source.mxf", MediaSpec{});
    std::rename((media / "source.mxf").c_str(), input.c_str());
    uint64_t before = HashFile(input);
    EXPECT_EQ(QorMxfGeneralRepair(input.c_str(), (media / "out1.mxf").c_str()), VEXMEND_OK);
    EXPECT_TRUE(Probe(media / "out1.mxf").readable);
    EXPECT_FALSE(Exists(media / "clip.mxf"));  // the copy is gone again

    // An output of the copy's name: the copy goes to the repair folder.
    EXPECT_EQ(QorMxfGeneralRepair(input.c_str(), (media / "clip.mxf").c_str()), VEXMEND_OK);
    EXPECT_TRUE(Probe(media / "clip.mxf").readable);
    EXPECT_FALSE(Exists(work / "work/RepairedVideo/clip.mxf"));

    // Files of the copy's name beside the input and in the repair folder stay.
    WriteBytes(media / "clip.mxf", {'k', 'e', 'e', 'p'});
    WriteBytes(work / "work/RepairedVideo/clip.mxf", {'l', 'e', 'f', 't'});
    EXPECT_EQ(QorMxfGeneralRepair(input.c_str(), (media / "out2.mxf").c_str()), VEXMEND_OK);
    EXPECT_TRUE(Probe(media / "out2.mxf").readable);
    EXPECT_EQ(ReadText(media / "clip.mxf"), "keep");
    EXPECT_EQ(ReadText(work / "work/RepairedVideo/clip.mxf"), "left");
    EXPECT_EQ(HashFile(input), before);

    // Upper case is not a recorder extension: the encoder reads it as it is.
    std::rename(input.c_str(), (media / "clip.RSV").c_str());
    EXPECT_EQ(QorMxfGeneralRepair((media / "clip.RSV").c_str(), (media / "out3.mxf").c_str()),
              VEXMEND_OK);
    EXPECT_EQ(ReadText(media / "clip.mxf"), "keep");
}

// Each path reaches the encoder as one argument, whatever quotes it holds.
TEST_F(GeneralRepair, QuotesInAFileNamePassNoArgumentsToTheEncoder)
{
    const std::string input = media / "evil.mxf\" -f mxf \"victim.txt";
    MakeMxf(input, MediaSpec{});
    MakeMxf(media / "evil.mxf", MediaSpec{10});
    WriteBytes(media / "victim.txt", {'v'});
    auto before = HashTree(media.Path());
    const std::filesystem::path folder = std::filesystem::current_path();
    std::filesystem::current_path(media.Path());
    EXPECT_EQ(QorMxfGeneralRepair(input.c_str(), (work / "out.mxf").c_str()), VEXMEND_OK);
    std::filesystem::current_path(folder);
    EXPECT_EQ(Probe(work / "out.mxf").videoPackets, Probe(input).videoPackets);
    EXPECT_EQ(HashTree(media.Path()), before);
}

// Both repairs refuse, before anything is written or run, an output that
// would replace an input, an input in the library's work folders, and an
// input that is not a regular file (a FIFO would block for ever).
TEST_F(GeneralRepair, InputsAreNeverReplacedAndOnlyRegularFilesAreRead)
{
    const std::string m = work / "media", w = work / "work", fifo = m + "/fifo";
    const std::string replace = "output would replace an input: ", notRegular = "input is not a ";
    const std::string inWork = "input lies in a work folder of the library: ";
    const struct {
        std::string input, sample, output, record;
    } cases[] = {
        {m + "/in.mxf", "", m + "/./in.mxf", replace + m + "/./in.mxf"},
        {m + "/in.mxf", "", m + "/link.mxf", replace + m + "/link.mxf"},
        {m + "/in.mxf", "", m + "/hard.mxf", replace + m + "/hard.mxf"},
        {w + "/RepairedVideo/clip.rsv", "", m + "/o.mxf", inWork + w + "/RepairedVideo/clip.rsv"},
        {w + "/AdvanceRepairedVideo/in.mxf", "", m + "/o",
         inWork + w + "/AdvanceRepairedVideo/in.mxf"},
        {fifo, "", m + "/o.mxf", notRegular + "file: " + fifo},
        {m + "/in.mxf", m + "/s.mxf", m + "/sub/../in.mxf", replace + m + "/sub/../in.mxf"},
        {m + "/in.mxf", m + "/s.mxf", m + "/s.mxf", replace + m + "/s.mxf"},
        {m + "/in.mxf", m + "/s.mxf", m, replace + m},  // the result would be m/in.mxf
        {w + "/AdvanceRepairedVideo/in.mxf", m + "/s.mxf", m + "/o",
         inWork + w + "/AdvanceRepairedVideo/in.mxf"},
        {m + "/in.mxf", w + "/RepairedVideo/s.mxf", m + "/o", inWork + w + "/RepairedVideo/s.mxf"},
        {fifo, m + "/s.mxf", m + "/o", notRegular + "regular file: " + fifo},
        {m + "/in.mxf", fifo, m + "/o", notRegular + "regular file: " + fifo},
        {m + "/in.mxf", m + "/sub", m + "/o", notRegular + "regular file: " + m + "/sub"},
    };
    ASSERT_EQ(RunShell("mkdir -p " + Quote(m + "/sub") + " " + Quote(w + "/RepairedVideo") + " " +
                       Quote(w + "/AdvanceRepairedVideo") + " && mkfifo " + Quote(fifo)),
              0);
    for (const std::string& file :
         {m + "/in.mxf", m + "/s.mxf", w + "/RepairedVideo/clip.rsv", w + "/RepairedVideo/clip.mxf",
          w + "/RepairedVideo/s.mxf", w + "/AdvanceRepairedVideo/in.mxf"}) {
        WriteBytes(file, {file.begin(), file.end()});
    }
    ASSERT_EQ(RunShell("cd " + Quote(m) + " && ln -s in.mxf link.mxf && ln in.mxf hard.mxf"), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input + " + " + c.sample + " -> " + c.output);
        auto before = HashTree(work.Path());
        const bool general = c.sample.empty();
        EXPECT_EQ(RunRepair(c.input, c.sample, c.output), !general          ? VEXMEND_ADVANCE_FAILED
                                                          : c.input == fifo ? VEXMEND_NO_INPUT
                                                                            : VEXMEND_NO_OUTPUT);
        EXPECT_TRUE(
            Logged((general ? ") [GeneralRepair] " : ") [AdvanceRepair] ") + c.record + "\n"));
        EXPECT_EQ(HashTree(work.Path()), before);
    }
    EXPECT_FALSE(Logged("ffmpeg Repair completed."));
    EXPECT_FALSE(Logged("probe sample:"));
}

TEST_F(GeneralRepair, PathsWithSpacesAndNonAsciiCharactersReachTheEncoder)
{
    std::string input = media / "caf\xc3\xa9 clip \xe6\x97\xa5\xe6\x9c\xac.mxf";
    MakeMxf(input, MediaSpec{});
    std::string output = media / "out dir/r\xc3\xa9par\xc3\xa9 file.mxf";
    EXPECT_EQ(QorMxfGeneralRepair(input.c_str(), output.c_str()), VEXMEND_OK);
    EXPECT_EQ(Probe(output).videoStreams, 1);
}

TEST_F(GeneralRepair, MissingOrEmptyArgumentsAreRefused)
{
    std::string older = media / "o.mxf";
    WriteBytes(older, {'o', 'l', 'd'});
    EXPECT_EQ(QorMxfGeneralRepair(nullptr, older.c_str()), VEXMEND_NO_INPUT);
    EXPECT_FALSE(Logged("Start VideoRepairManager::GeneralRepair"));
    EXPECT_EQ(QorMxfGeneralRepair("", older.c_str()), VEXMEND_NO_INPUT);
    EXPECT_TRUE(Logged("Start VideoRepairManager::GeneralRepair"));
    // A mistyped path or a folder: refused before the encoder runs.
    for (const std::string& input : {media / "no such.mxf", media.Path()}) {
        EXPECT_EQ(QorMxfGeneralRepair(input.c_str(), older.c_str()), VEXMEND_NO_INPUT);
        EXPECT_TRUE(Logged(") [GeneralRepair] input is not a file: " + input + "\n"));
    }
    EXPECT_FALSE(Logged("ffmpeg Repair completed."));
    EXPECT_EQ(ReadText(older), "old");
    EXPECT_EQ(QorMxfGeneralRepair(older.c_str(), nullptr), VEXMEND_NO_OUTPUT);
}

TEST_F(GeneralRepair, KeepsEveryStreamAndRefusesAFileThatIsNoLongerMxf)
{
    const struct {
        const char* damage;
        MediaSpec spec;
        void (*apply)(std::vector<uint8_t>&);
        int32_t result;
        int videoStreams, audioStreams;
        std::string record;
    } cases[] = {
        {"8 mono tracks cut at 70%: footer and index gone", MediaSpec{50, "25", "pcm_s24le", 1, 8},
         [](std::vector<uint8_t>& bytes) { bytes.resize(bytes.size() * 7 / 10); }, VEXMEND_OK, 1, 8,
         ") GeneralRepair Completed,general out file: "},
        {"header partition overwritten", MediaSpec{},
         [](std::vector<uint8_t>& bytes) { std::fill_n(bytes.begin(), FirstEssenceKey(bytes), 0); },
         VEXMEND_NO_OUTPUT, 0, 0, ") [GeneralRepair] encoder exit status: 1\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.damage);
        std::string input = media / "clip.mxf", output = media / "out.mxf";
        MakeMxf(input, c.spec);
        std::vector<uint8_t> bytes = ReadBytes(input);
        c.apply(bytes);
        WriteBytes(input, bytes);
        EXPECT_EQ(QorMxfGeneralRepair(input.c_str(), output.c_str()), c.result);
        ProbeResult probe = Probe(output);
        EXPECT_EQ(probe.videoStreams, c.videoStreams);
        EXPECT_EQ(probe.audioStreams, c.audioStreams);
        EXPECT_EQ(Exists(output), c.result == VEXMEND_OK);
        EXPECT_TRUE(Logged(c.record));
    }
}

}  // namespace
}  // namespace vexmend::test
