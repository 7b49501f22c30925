// The card mode on each layout of card, given at any root.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "repair/CardSupport.h"
#include "support/TestSupport.h"

namespace vexmend::test {
namespace {

// A recording as a camera of the layout writes it, with its start timecode.
void Record(const std::string& path, const std::string& kind, const std::string& timecode)
{
    const std::string picture = " -f lavfi -i testsrc=size=320x240:rate=25",
                      sound = " -f lavfi -i sine=sample_rate=48000";
    const std::map<std::string, std::string> kinds = {
        {"mpeg2 422", picture + sound +
                          " -frames:v 50 -map 0:v -map 1:a -map 1:a -c:v mpeg2video -b:v 8M " +
                          "-g 12 -bf 2 -pix_fmt yuv422p -c:a pcm_s24le -f mxf"},
        {"mpeg2 proxy", " -f lavfi -i testsrc=size=160x120:rate=25" + sound +
                            " -frames:v 50 -map 0:v -map 1:a -c:v mpeg2video -g 12 -c:a " +
                            "pcm_s16le -f mxf"},
        {"dv atom",
         picture + " -frames:v 50 -s 720x576 -c:v dvvideo -pix_fmt yuv420p -f mxf_opatom"},
        {"dnxhd atom",
         picture +
             " -frames:v 25 -s 1920x1080 -c:v dnxhd -b:v 115M -pix_fmt yuv422p -f mxf_opatom"},
        {"sound atom", sound + " -t 2 -c:a pcm_s24le -f mxf_opatom"}};
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    ASSERT_EQ(RunShell("ffmpeg -nostdin -v error -y" + kinds.at(kind) + " -timecode " + timecode +
                       " " + Quote(path)),
              0);
}

// The file's bytes from `share` of them on lost: `zeroed` of them, or with
// none the rest, cut short.
void Spoil(const std::string& path, double share, size_t zeroed = 0)
{
    std::vector<uint8_t> bytes = ReadBytes(path);
    const size_t at = static_cast<size_t>(static_cast<double>(bytes.size()) * share);
    if (zeroed > 0) {
        std::fill_n(bytes.begin() + at, std::min(bytes.size() - at, zeroed), 0);
    } else {
        bytes.resize(at);
    }
    WriteBytes(path, bytes);
}

struct LayoutRow {
    const char* name;
    std::string source;                           // given as SOURCE, under the row's folder
    std::function<void(const std::string&)> lay;  // makes the card in the row's folder
    int exit;
    // "in-card outcome sample result-pictures/stated tracks timecode" a clip.
    std::string report;
    std::vector<std::string> sidecars;  // copied beside the results
};

TEST(CardMode, FindsEachLayoutAtAnyRootAndChecksEveryResult)
{
    const LayoutRow rows[] = {
        {"Sony card at its mount root, proxies beside the clips",
         "sony",
         [](const std::string& f) {
             const std::string x = f + "/sony/PRIVATE/XDROOT/";
             Record(x + "Clip/C0001.MXF", "mpeg2 422", "11:00:00:00");
             Record(x + "Clip/C0002.MXF", "mpeg2 422", "11:00:10:00");
             // Zeros early on: the general repair stops at them, and its
             // result is refused; the advance repair leaves out the pictures
             // after them up to the next key frame.
             Spoil(x + "Clip/C0002.MXF", 0.1, 100000);
             Record(x + "Clip/C0003.RSV", "mpeg2 422", "11:00:20:00");
             Spoil(x + "Clip/C0003.RSV", 0.6);
             Record(x + "Sub/C0001S03.MXF", "mpeg2 proxy", "11:00:00:00");
             Record(x + "Sub/C0002S03.MXF", "mpeg2 proxy", "11:00:10:00");
             Spoil(x + "Sub/C0002S03.MXF", 0, 16 << 10);
             // A clip whose header was lost takes its start from its XML.
             Record(x + "Clip/C0004.MXF", "mpeg2 422", "11:00:30:00");
             Spoil(x + "Clip/C0004.MXF", 0, 16 << 10);
             const std::string xml =
                 "<?xml version=\"1.0\"?><NonRealTimeMeta xmlns=\"urn:schemas-professionalDisc:"
                 "nonRealTimeMeta:ver.2.00\"><LtcChangeTable tcFps=\"25\"><LtcChange "
                 "frameCount=\"0\" value=\"00300011\" status=\"increment\"/></LtcChangeTable>"
                 "</NonRealTimeMeta>";
             WriteBytes(x + "Clip/C0004M01.XML", {xml.begin(), xml.end()});
             WriteBytes(x + "MEDIAPRO.XML", {'<', 'M', '/', '>'});
             WriteBytes(x + "Clip/C0002M01.XML", {'<', 'N', '/', '>'});
         },
         0,
         "PRIVATE/XDROOT/Clip/C0001.MXF healthy - 0/46 2 11:00:00:00\n"
         "PRIVATE/XDROOT/Clip/C0002.MXF advance C0001.MXF 28/46 2 11:00:10:00\n"
         "PRIVATE/XDROOT/Clip/C0003.RSV general - 25/46 2 11:00:20:00\n"
         "PRIVATE/XDROOT/Clip/C0004.MXF advance C0001.MXF 45/? 2 11:00:30:00\n"
         "PRIVATE/XDROOT/Sub/C0001S03.MXF healthy - 0/47 1 11:00:00:00\n"
         "PRIVATE/XDROOT/Sub/C0002S03.MXF advance C0001S03.MXF 46/? 1 11:00:10:01\n",
         {"PRIVATE/XDROOT/MEDIAPRO.XML", "PRIVATE/XDROOT/Clip/C0002M01.XML"}},
        {"P2 card at its vendor folder, an audio file cut short",
         "p2/CONTENTS",
         [](const std::string& f) {
             const std::string c = f + "/p2/CONTENTS/";
             Record(c + "VIDEO/0001AB.MXF", "dv atom", "11:00:00:00");
             Record(c + "VIDEO/0002AB.MXF", "dv atom", "11:00:04:00");
             Spoil(c + "VIDEO/0002AB.MXF", 0.5);
             Record(c + "AUDIO/0001AB00.MXF", "sound atom", "11:00:00:00");
             Record(c + "AUDIO/0002AB00.MXF", "sound atom", "11:00:04:00");
             Spoil(c + "AUDIO/0002AB00.MXF", 0.5);
             for (const char* file : {"CLIP/0002AB.XML", "ICON/0002AB.BMP", "VOICE/0002AB00.WAV"}) {
                 std::filesystem::create_directories(std::filesystem::path(c + file).parent_path());
                 WriteBytes(c + file, {'<', 'P', '/', '>'});
             }
         },
         0,
         "VIDEO/0001AB.MXF healthy - 0/50 0 11:00:00:00\n"
         "VIDEO/0002AB.MXF advance 0001AB.MXF 24/50 0 11:00:04:00\n"
         "AUDIO/0001AB00.MXF healthy - 0/? 1 11:00:00:00\n"
         "AUDIO/0002AB00.MXF advance 0001AB00.MXF 0/? 1 11:00:04:00\n",
         {"CLIP/0002AB.XML", "ICON/0002AB.BMP", "VOICE/0002AB00.WAV"}},
        {"Canon XF card below the folder given, a clip spanned over two files",
         ".",
         [](const std::string& f) {
             const std::string c = f + "/media/XF/CONTENTS/CLIPS001/";
             Record(c + "AA0001/AA000101.MXF", "mpeg2 422", "12:00:00:00");
             Record(c + "AA0001/AA000102.MXF", "mpeg2 422", "12:00:01:21");
             Spoil(c + "AA0001/AA000102.MXF", 0.6);
             Record(c + "AA0002/AA000201.MXF", "mpeg2 422", "12:10:00:00");
         },
         0,
         "media/XF/CONTENTS/CLIPS001/AA0001/AA000101.MXF general - 71/92 2 12:00:00:00\n"
         "media/XF/CONTENTS/CLIPS001/AA0002/AA000201.MXF healthy - 0/46 2 12:10:00:00\n",
         {}},
        {"Avid MediaFiles: OP-Atom picture and sound files of one clip",
         "Avid MediaFiles",
         [](const std::string& f) {
             const std::string m = f + "/Avid MediaFiles/MXF/1/";
             Record(m + "V01.0001.mxf", "dnxhd atom", "13:00:00:00");
             Record(m + "A01.0001.mxf", "sound atom", "13:00:00:00");
             Record(m + "V01.0002.mxf", "dnxhd atom", "13:00:10:00");
             Spoil(m + "V01.0002.mxf", 0.5);
             Record(m + "A01.0002.mxf", "sound atom", "13:00:10:00");
             Spoil(m + "A01.0002.mxf", 0.5);
         },
         0,
         "MXF/1/A01.0001.mxf healthy - 0/? 1 13:00:00:00\n"
         "MXF/1/A01.0002.mxf advance A01.0001.mxf 0/? 1 13:00:10:00\n"
         "MXF/1/V01.0001.mxf healthy - 0/25 0 13:00:00:00\n"
         "MXF/1/V01.0002.mxf advance V01.0001.mxf 12/25 0 13:00:10:00\n",
         {}},
        {"plain folder",
         "plain",
         [](const std::string& f) {
             Record(f + "/plain/take.mxf", "mpeg2 422", "14:00:00:00");
             Spoil(f + "/plain/take.mxf", 0.5);
         },
         0,
         "take.mxf general - 22/46 2 14:00:00:00\n",
         {}},
        {"folder without a clip",
         "empty",
         [](const std::string& f) { std::filesystem::create_directories(f + "/empty/Clip"); },
         5,
         "",
         {}},
    };
    for (const LayoutRow& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        const std::string card = folder / "card", out = folder / "out";
        row.lay(card);
        const auto before = HashTree(card);
        std::string output;
        EXPECT_EQ(RunShell(Quote(VEXMEND_HOST_PROGRAM) + " card " + Quote(card + "/" + row.source) +
                               " " + Quote(out) + " --report " + Quote(out + "/report.json"),
                           &output),
                  row.exit)
            << output;
        EXPECT_EQ(HashTree(card), before);
        if (row.report.empty()) continue;
        EXPECT_EQ(Python("print(''.join('%s %s %s %d/%s %d %s\\n' % (c['in_card'], c['outcome'], "
                         "(c['sample'] or '-').split('/')[-1], c['frames'] if c['result'] else 0, "
                         "c['frames_stated'] or '?', len(c['audio_tracks']), c['timecode']) "
                         "for c in d['clips']), end='')",
                         out + "/report.json"),
                  row.report)
            << output;
        // What ffprobe finds in each result is what the report gives, and
        // the result keeps the package UMIDs that its source's header has.
        const std::string results = Python(
            "print(''.join('%s\\t%s\\t%d\\t%d\\n' % (c['result'], c['source'], c['frames'], "
            "len(c['audio_tracks'])) for c in d['clips'] if c['result']), end='')",
            out + "/report.json");
        auto umids = [](const std::string& path) {
            std::string found;
            RunShell(
                "ffprobe -v error -of csv=p=0 -show_entries "
                "format_tags=material_package_umid:stream_tags=file_package_umid " +
                    Quote(path),
                &found);
            return found;
        };
        for (const std::string& line : Lines(results)) {
            std::vector<std::string> f;
            std::istringstream fields(line);
            for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
            ASSERT_EQ(f.size(), 4u) << line;
            const ProbeResult probe = Probe(f[0]);
            EXPECT_EQ(probe.videoFrames, std::atoll(f[2].c_str())) << f[0];
            EXPECT_EQ(probe.audio.size(), std::stoul(f[3])) << f[0];
            if (const std::string source = umids(f[1]);
                source.find("0x060A2B34") != std::string::npos) {
                EXPECT_EQ(umids(f[0]), source) << f[0];
            }
        }
        for (const std::string& file : row.sidecars) {
            EXPECT_TRUE(Exists(out + "/" + file)) << file;
        }
    }
}

}  // namespace
}  // namespace vexmend::test
