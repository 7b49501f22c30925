// The host program's card mode and scan command on cards made at test time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/TestSupport.h"

namespace vexmend::test {
namespace {

// The file cut at `share` of its bytes, cleanly before the next picture
// element if there is one, so that it ends with whole packages short of its
// stated duration; and its first bytes zeroed.
void Damage(const std::string& healthy, const std::string& damaged, double share, size_t zeroed)
{
    std::vector<uint8_t> bytes = ReadBytes(healthy);
    size_t cut = static_cast<size_t>(static_cast<double>(bytes.size()) * share);
    for (const ReferenceElement& e : ReferenceWalk(bytes)) {
        if (e.kind == 0 && e.key >= cut) {
            cut = e.key;
            break;
        }
    }
    bytes.resize(cut);
    std::fill_n(bytes.begin(), zeroed, 0);
    WriteBytes(damaged, bytes);
}

std::string Python(const std::string& script, const std::string& json)
{
    std::string output;
    RunShell("python3 -c " + Quote("import json,sys; d=json.load(open(sys.argv[1])); " + script) +
                 " " + Quote(json),
             &output);
    return output;
}

TEST(CardMode, RepairsEachDamagedClipWithTheRightRepairAndSampleAndReportsIt)
{
    TempFolder folder;
    const std::string cards = folder / "cards", xdcam = cards + "/xdcam", clip = xdcam + "/Clip/",
                      p2 = cards + "/p2", video = p2 + "/Contents/VIDEO/",
                      audio = p2 + "/Contents/audio/";
    for (const std::string& f : {clip, video, audio}) std::filesystem::create_directories(f);
    // Four mono 24-bit tracks; a later clip of another audio layout lies
    // nearer to the damaged one than the clip of the same layout.
    MakeMxf(clip + "C0001.MXF", {50, "25", "pcm_s24le", 1, 4});
    MakeMxf(clip + "C0004.MXF", {50, "25", "pcm_s24le", 2, 1});
    Damage(clip + "C0001.MXF", clip + "C0002.MXF", 0.6, 0);
    Damage(clip + "C0001.MXF", clip + "C0003.MXF", 1.0, 65536);
    for (const char* name : {"C0001M01.XML", "C0002M01.XML", "C0003M01.XML", "C0004M01.XML"}) {
        WriteBytes(clip + name, {'<', '/', '>'});
    }
    const std::string make = "ffmpeg -nostdin -v error -f lavfi -i ";
    RunShell(make + "testsrc=size=720x576:rate=25 -frames:v 50 -c:v dvvideo -pix_fmt yuv420p " +
             "-f mxf_opatom " + Quote(video + "0001AB.MXF"));
    RunShell(make + "sine=sample_rate=48000 -t 2 -c:a pcm_s24le -f mxf_opatom " +
             Quote(audio + "0001AB00.MXF"));
    Damage(video + "0001AB.MXF", video + "0002AB.MXF", 0.5, 0);
    const auto before = HashTree(cards);

    const std::string host = VEXMEND_HOST_PROGRAM, out = folder / "out";
    for (const std::string& card : {xdcam, p2}) {
        const std::string name = std::filesystem::path(card).filename().string();
        EXPECT_EQ(RunShell(Quote(host) + " card " + Quote(card) + " " + Quote(out + "/" + name) +
                           " --report " + Quote(out + "/" + name + ".json") +
                           (card == p2 ? " --copy-healthy" : "")),
                  0);
    }
    // An output, log or work folder under the card is refused before anything is made.
    const std::string elsewhere = " " + Quote(folder / "elsewhere");
    for (const std::string& where :
         {" " + Quote(clip + "out"), elsewhere + " --log-dir " + Quote(clip),
          elsewhere + " --work-dir " + Quote(xdcam)}) {
        EXPECT_EQ(RunShell(Quote(host) + " card " + Quote(xdcam) + where), 2) << where;
    }
    EXPECT_EQ(HashTree(cards), before);
    EXPECT_FALSE(Exists(folder / "elsewhere"));
    const std::string rows =
        "print('\\n'.join('%s %s %s %d' % (c['source'].split('/')[-1], c['outcome'], "
        "(c['sample'] or '-').split('/')[-1], len(c['audio_tracks'])) for c in d['clips']))";
    EXPECT_EQ(Python(rows, out + "/xdcam.json"),
              "C0001.MXF healthy - 4\nC0002.MXF general - 4\nC0003.MXF advance C0001.MXF 4\n"
              "C0004.MXF healthy - 1\n");
    EXPECT_EQ(
        Python(rows, out + "/p2.json"),
        "0001AB.MXF healthy - 0\n0002AB.MXF advance 0001AB.MXF 0\n0001AB00.MXF healthy - 1\n");
    // All the pictures after the lost header come back, as the scan counts them.
    const std::string found = Python("print(d['clips'][2]['scan']['picture_elements'])",
                                     out + "/xdcam.json");
    EXPECT_GE(std::atoi(found.c_str()), 40);
    EXPECT_EQ(Probe(out + "/xdcam/Clip/C0003.MXF").videoFrames, std::atoi(found.c_str()));
    // Healthy clips are listed, or copied unchanged with --copy-healthy.
    EXPECT_FALSE(Exists(out + "/xdcam/Clip/C0001.MXF"));
    EXPECT_EQ(ReadBytes(out + "/p2/Contents/audio/0001AB00.MXF"),
              ReadBytes(audio + "0001AB00.MXF"));

    // The scan tells where the header was lost, finds no damage in a healthy
    // clip, and writes nothing.
    for (const char* name : {"C0003", "C0001"}) {
        RunShell(Quote(host) + " scan " + Quote(clip + name + ".MXF") + " --json > " +
                 Quote(out + "/" + name + ".json"));
    }
    EXPECT_EQ(Python("print(d['frames'], len(d['sound_tracks']), d['damaged_ranges'][0]['offset'])",
                     out + "/C0003.json"),
              found.substr(0, found.size() - 1) + " 4 0\n");
    EXPECT_EQ(Python("print(d['frames'], d['damaged_ranges'])", out + "/C0001.json"),
              std::to_string(Probe(clip + "C0001.MXF").videoFrames) + " []\n");
    EXPECT_EQ(HashTree(cards), before);
}

}  // namespace
}  // namespace vexmend::test
