// A clip's identity: from its XML sidecar, from a damaged file's header
// metadata, and written into a rewrapped result.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "ClipIdentity.h"
#include "SidecarXml.h"
#include "support/TestSupport.h"

namespace vexmend::test {
namespace {

const std::string kUmid = "060A2B340101010501010D4313000000A1B2C3D4E5F60718293A4B5C6D7E8F90";

std::string Hex(const std::optional<std::array<uint8_t, 32>>& umid)
{
    std::string text;
    for (size_t n = 0; umid && n < umid->size(); ++n) {
        text += "0123456789ABCDEF"[(*umid)[n] >> 4];
        text += "0123456789ABCDEF"[(*umid)[n] & 15];
    }
    return text;
}

std::string P2(const std::string& video, const std::string& audio = "")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<P2Main xmlns=\"urn:schemas-Professional-"
           "Plug-in:P2:ClipMetadata:v3.1\"><ClipContent><ClipName>0001AB</ClipName><GlobalClipID>" +
           kUmid + "</GlobalClipID><EssenceList><Video><FrameRate>25p</FrameRate>" + video +
           "</Video><Audio>" + audio + "</Audio></EssenceList></ClipContent></P2Main>";
}

std::string Xdcam(const std::string& fps, const std::string& value)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><NonRealTimeMeta xmlns=\"urn:schemas-"
           "professionalDisc:nonRealTimeMeta:ver.2.00\"><TargetMaterial umidRef=\"" +
           kUmid + "\"/><LtcChangeTable tcFps=\"" + fps + "\" halfStep=\"false\"><LtcChange " +
           "frameCount=\"0\" value=\"" + value +
           "\" status=\"increment\"/><LtcChange frameCount="
           "\"250\" value=\"00000000\" status=\"end\"/></LtcChangeTable></NonRealTimeMeta>";
}

// Each kind of sidecar gives its start timecode and its clip's UMID; the
// flag bits of an XDCAM timecode's digits are masked off and drop-frame
// kept only at 30 frames a second; anything hostile, broken or too large
// gives nothing, at once.
TEST(Sidecar, GivesTheClipsTimecodeAndUmidOrNothing)
{
    const std::string laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE P2Main [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;"
        "&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;"
        "&c;&c;&c;&c;&c;&c;&c;&c;\">]>";
    const char utf16[] =
        "\xFF\xFE<\0P\0"
        "2\0M\0a\0i\0n\0/\0>\0";
    const struct {
        const char* name;
        std::string text;
        std::string timecode, from;
        bool umid;
    } rows[] = {
        {"P2", P2("<StartTimecode>12:34:56:12</StartTimecode>"), "12:34:56:12", "P2 XML", true},
        {"P2 drop-frame", P2("<StartTimecode>01:00:00;02</StartTimecode>"), "01:00:00;02", "P2 XML",
         true},
        {"P2 audio's", P2("", "<StartTimecode>02:00:00:00</StartTimecode>"), "02:00:00:00",
         "P2 XML", true},
        {"P2 without timecode", P2("<StartTimecode>99:00</StartTimecode>"), "", "", true},
        {"XDCAM", Xdcam("25", "12345610"), "10:56:34:12", "XDCAM XML", true},
        {"XDCAM flag bits", Xdcam("25", "D2B4D650"), "10:56:34:12", "XDCAM XML", true},
        {"XDCAM drop-frame", Xdcam("30", "42000001"), "01:00:00;02", "XDCAM XML", true},
        {"XDCAM frames past the rate", Xdcam("25", "25000001"), "", "", true},
        {"another document", "<Clip><GlobalClipID>" + kUmid + "</GlobalClipID></Clip>", "", "",
         false},
        {"entities", laughs + P2("<StartTimecode>&d;</StartTimecode>").substr(39), "", "", false},
        {"external entity",
         "<?xml version=\"1.0\"?><!DOCTYPE P2Main [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" +
             P2("<StartTimecode>&x;</StartTimecode>").substr(39),
         "", "", false},
        {"document type",
         "<!DOCTYPE P2Main SYSTEM \"p2.dtd\">" +
             P2("<StartTimecode>12:34:56:12</StartTimecode>").substr(39),
         "", "", false},
        {"not well formed", P2("<StartTimecode>12:34:56:12</StartTimecode>").substr(0, 300), "", "",
         false},
        {"not UTF-8", P2("<StartTimecode>12:34:56:12\xE9</StartTimecode>"), "", "", false},
        {"UTF-16", std::string(utf16, sizeof utf16 - 1), "", "", false},
    };
    TempFolder folder;
    for (const auto& row : rows) {
        const auto start = std::chrono::steady_clock::now();
        WriteBytes(folder / "clip.xml", std::vector<uint8_t>(row.text.begin(), row.text.end()));
        const ClipIdentity identity = SidecarIdentity(folder / "clip.xml");
        EXPECT_EQ(identity.timecode, row.timecode) << row.name;
        EXPECT_EQ(identity.timecodeFrom, row.from) << row.name;
        EXPECT_EQ(Hex(identity.materialUmid), row.umid ? kUmid : "") << row.name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << row.name;
    }
    // A sidecar larger than 4 MiB, though well formed, is not read.
    const std::string large = P2("<StartTimecode>12:34:56:12</StartTimecode>") + "<!--" +
                              std::string(5 << 20, ' ') + "-->";
    WriteBytes(folder / "large.xml", std::vector<uint8_t>(large.begin(), large.end()));
    EXPECT_EQ(SidecarIdentity(folder / "large.xml").timecode, "");
    EXPECT_EQ(SidecarIdentity(folder / "missing.xml").timecode, "");
}

void MakeClip(const std::string& path, const std::string& options)
{
    std::string output;
    ASSERT_EQ(RunShell("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=rate=25 -frames:v 10 -c:v "
                       "mpeg2video " +
                           options + " -f mxf " + Quote(path),
                       &output),
              0)
        << output;
}

// The identity of a recording survives the loss of its partition pack, and
// written into a result of the same pictures without it, makes the result
// the recording's clip again, with every package reference kept, so that it
// still reads whole; a file that is no MXF is left as it is.
TEST(ClipIdentity, ReadFromTheHeaderAndWrittenIntoAResult)
{
    TempFolder folder;
    const std::string recording = folder / "x.mxf", result = folder / "y.mxf";
    MakeClip(recording, "-timecode 10:00:00:00");
    MakeClip(result, "");
    const ClipIdentity identity = HeaderIdentity(recording);
    EXPECT_EQ(identity.timecode, "10:00:00:00");
    EXPECT_EQ(identity.timecodeFrom, "header");
    ASSERT_TRUE(identity.materialUmid && identity.fileUmid);
    EXPECT_NE(identity.materialUmid, identity.fileUmid);
    EXPECT_NE(HeaderIdentity(result).materialUmid, identity.materialUmid);

    std::vector<uint8_t> damaged = ReadBytes(recording);
    std::fill_n(damaged.begin(), 200, 0);
    WriteBytes(folder / "damaged.mxf", damaged);
    const ClipIdentity survived = HeaderIdentity(folder / "damaged.mxf");
    EXPECT_EQ(survived.timecode, identity.timecode);
    EXPECT_EQ(survived.materialUmid, identity.materialUmid);
    EXPECT_EQ(survived.fileUmid, identity.fileUmid);
    EXPECT_EQ(HeaderIdentity(folder / "missing.mxf").timecode, "");

    ASSERT_TRUE(WriteIdentity(result, identity));
    const ClipIdentity written = HeaderIdentity(result);
    EXPECT_EQ(written.timecode, identity.timecode);
    EXPECT_EQ(written.materialUmid, identity.materialUmid);
    EXPECT_EQ(written.fileUmid, identity.fileUmid);
    std::string output;
    RunShell("ffprobe -v quiet -show_entries format_tags=timecode -of csv=p=0 " + Quote(result),
             &output);
    EXPECT_EQ(output, "10:00:00:00\n");
    EXPECT_EQ(RunShell("ffmpeg -nostdin -v error -i " + Quote(result) + " -f null -", &output), 0);
    EXPECT_EQ(output, "");

    // Drop-frame timecode goes in as the result's own count gives it.
    ClipIdentity dropFrame;
    dropFrame.timecode = "01:00:00;02";
    ASSERT_TRUE(WriteIdentity(result, dropFrame));
    EXPECT_EQ(HeaderIdentity(result).timecode, "01:00:00:02");
    EXPECT_EQ(HeaderIdentity(result).materialUmid, identity.materialUmid);

    const std::vector<uint8_t> whole = ReadBytes(recording),
                               cut(whole.begin(), whole.begin() + 8000);
    for (const auto& bytes : {std::vector<uint8_t>(5000, 'x'), cut}) {
        WriteBytes(folder / "other.mxf", bytes);
        EXPECT_FALSE(WriteIdentity(folder / "other.mxf", identity));
        EXPECT_EQ(ReadBytes(folder / "other.mxf"), bytes);
    }
    EXPECT_THROW(WriteIdentity(folder / "missing.mxf", identity), std::runtime_error);
}

}  // namespace
}  // namespace vexmend::test
