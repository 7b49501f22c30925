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
    EXPECT_EQ(HashFile(input), before);

    // An existing clip.mxf beside the input is neither overwritten nor removed.
    WriteBytes(media / "clip.mxf", {'k', 'e', 'e', 'p'});
    EXPECT_EQ(QorMxfGeneralRepair(input.c_str(), (media / "out2.mxf").c_str()), VEXMEND_OK);
    EXPECT_TRUE(Probe(media / "out2.mxf").readable);
    EXPECT_EQ(ReadText(media / "clip.mxf"), "keep");
    EXPECT_FALSE(Exists(work / "work/RepairedVideo/clip.mxf"));

    // Upper case is not a recorder extension: the encoder reads it as it is.
    std::rename(input.c_str(), (media / "clip.RSV").c_str());
    EXPECT_EQ(QorMxfGeneralRepair((media / "clip.RSV").c_str(), (media / "out3.mxf").c_str()),
              VEXMEND_OK);
    EXPECT_EQ(ReadText(media / "clip.mxf"), "keep");
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
    EXPECT_EQ(QorMxfGeneralRepair(nullptr, (media / "o.mxf").c_str()), VEXMEND_NO_INPUT);
    EXPECT_FALSE(Logged("Start VideoRepairManager::GeneralRepair"));
    EXPECT_EQ(QorMxfGeneralRepair("", (media / "o.mxf").c_str()), VEXMEND_NO_INPUT);
    EXPECT_TRUE(Logged("Start VideoRepairManager::GeneralRepair"));
    EXPECT_EQ(QorMxfGeneralRepair((media / "in.mxf").c_str(), nullptr), VEXMEND_NO_OUTPUT);
}

TEST_F(GeneralRepair, EncoderThatWritesNothingGivesNoOutput)
{
    WriteBytes(media / "garbage.mxf", std::vector<uint8_t>(4096, 0x55));
    EXPECT_EQ(QorMxfGeneralRepair((media / "garbage.mxf").c_str(), (media / "o.mxf").c_str()),
              VEXMEND_NO_OUTPUT);
    EXPECT_TRUE(Logged("[ERROR] "));
    EXPECT_TRUE(Logged(
        ") GeneralRepair ffmpeg not generate repairedVideo VideoRepairManager::GeneralRepair"));
}

}  // namespace
}  // namespace vexmend::test
