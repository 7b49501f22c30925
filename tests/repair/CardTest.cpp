// The host program's card mode and scan command on cards made at test time:
// repairs and their reports, and a stop.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "repair/CardSupport.h"
#include "support/ReferenceWalk.h"
#include "support/TestSupport.h"

namespace vexmend::test {
namespace {

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
        EXPECT_EQ(
            RunShell(Quote(host) + " card " + Quote(card) + " " + Quote(out + "/" + name) +
                     " --report " + Quote(out + "/" + name + ".json") +
                     (card == p2 ? " --copy-healthy" : " --report " + Quote(out + "/xdcam.HTML"))),
            0);
    }
    // The HTML report renders without a page error (its policy makes any script
    // or fetch one), a strip of pictures per clip.
    std::string page;
    EXPECT_EQ(RunShell("chromium --headless --no-sandbox --disable-gpu --enable-logging=stderr "
                       "--user-data-dir=" +
                           Quote(folder / "chromium") + " --dump-dom " +
                           Quote("file://" + out + "/xdcam.HTML"),
                       &page),
              0);
    for (const char* error : {"CONSOLE", "net::ERR", "Page load failed"}) {
        EXPECT_EQ(page.find(error), std::string::npos) << page;
    }
    int strips = 0;
    for (size_t at = 0;
         (at = page.find("<svg class=\"strip pictures\"", at)) != std::string::npos;) {
        ++strips, ++at;
    }
    EXPECT_EQ(strips, 4) << page;
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
    // clip, not even in a fill item of no length before its first picture,
    // and writes nothing.
    std::vector<uint8_t> filled = ReadBytes(clip + "C0001.MXF");
    for (const ReferenceElement& e : ReferenceWalk(filled)) {
        if (e.kind != 0) continue;
        const uint8_t fill[20] = {0x06, 0x0e, 0x2b, 0x34, 1, 1, 1, 2,   3,
                                  1,    2,    0x10, 1,    0, 0, 0, 0x83};
        filled.insert(filled.begin() + static_cast<std::ptrdiff_t>(e.key), fill, fill + 20);
        break;
    }
    WriteBytes(out + "/C0001.MXF", filled);
    for (const std::string& path : {clip + "C0003.MXF", out + "/C0001.MXF"}) {
        RunShell(Quote(host) + " scan " + Quote(path) + " --json > " +
                 Quote(out + "/" + std::filesystem::path(path).stem().string() + ".json"));
    }
    EXPECT_EQ(Python("print(d['frames'], len(d['sound_tracks']), d['damaged_ranges'][0]['offset'])",
                     out + "/C0003.json"),
              found.substr(0, found.size() - 1) + " 4 0\n");
    EXPECT_EQ(Python("print(d['frames'], d['damaged_ranges'])", out + "/C0001.json"),
              std::to_string(Probe(clip + "C0001.MXF").videoFrames) + " []\n");
    EXPECT_EQ(HashTree(cards), before);
}

// A stop ends the run's repairs and encoders, also those of several clips at
// work at once, removes its temporary files and reports the clips done; a
// killed run's leftovers go with the next run. Clips repaired at the same
// time come out as one after another.
TEST(CardMode, StopsCleanlyAndTheNextRunClearsWhatAKilledOneLeft)
{
    TempFolder folder;
    const std::string card = folder / "card", out = folder / "out", work = folder / "work",
                      report = out + "/report.json", page = out + "/report.htm",
                      out2 = folder / "out2", report2 = out2 + "/report.json";
    std::filesystem::create_directories(card + "/Clip");
    MakeMxf(card + "/Clip/C0001.MXF", {50, "25", "pcm_s24le", 1, 2});
    for (const char* name : {"C0002.MXF", "C0003.MXF", "C0004.MXF"}) {
        Damage(card + "/Clip/C0001.MXF", card + "/Clip/" + name, 1.0, 65536);
    }
    const auto before = HashTree(card);
    // The run into `into` with `jobs` clips at a time, stopped by `signal`
    // once `jobs` advance repairs are under way.
    auto run = [&](const std::string& signal, int jobs = 1, const std::string& into = "") {
        const std::string to = into.empty() ? out : into, progress = folder / "progress";
        const std::string command = Quote(VEXMEND_HOST_PROGRAM) + " --work-dir " + Quote(work) +
                                    " card " + Quote(card) + " " + Quote(to) + " --report " +
                                    Quote(to + "/report.json") + " --report " +
                                    Quote(to + "/report.htm") + " --jobs " + std::to_string(jobs) +
                                    " 2> " + Quote(progress);
        if (signal.empty()) return RunShell(command);
        // The progress of the run before is gone before this one starts.
        std::filesystem::remove(progress);
        return RunShell(command + " & pid=$!; until [ $(cat " + Quote(progress) +
                        " 2>/dev/null | grep -c 'advance repair') -ge " + std::to_string(jobs) +
                        " ] || ! kill -0 $pid; do sleep 0.01; done; kill -" + signal +
                        " $pid; wait $pid");
    };
    auto processesLeft = [&] {
        // A pattern that does not match the shell that runs pgrep.
        const std::string pattern = "[" + folder.Path().substr(0, 1) + "]" +
                                    folder.Path().substr(1);
        std::string found;
        for (int i = 0; i < 100 && RunShell("pgrep -af " + Quote(pattern), &found) == 0; ++i) {
            usleep(20000);
        }
        return found;
    };

    EXPECT_EQ(run("TERM"), 143);
    EXPECT_EQ(processesLeft(), "");
    // The repair under way was ended, not waited for.
    EXPECT_EQ(ReadText(out + "/QorVideoRepair.log").find("AdvanceRepair Completed"),
              std::string::npos);
    EXPECT_EQ(Leftovers(out), std::vector<std::string>());
    EXPECT_EQ(Leftovers(work), std::vector<std::string>());
    EXPECT_EQ(Python("print(d['interrupted'], [c['outcome'] for c in d['clips']])", report),
              "True ['healthy']\n");
    EXPECT_NE(ReadText(page).find("class=\"stopped\""), std::string::npos);
    EXPECT_FALSE(Exists(out + "/Clip/C0002.MXF"));

    EXPECT_EQ(run("KILL"), 128 + 9);
    EXPECT_EQ(processesLeft(), "");
    EXPECT_NE(Leftovers(out), std::vector<std::string>());
    EXPECT_EQ(run(""), 0);
    EXPECT_EQ(Leftovers(out), std::vector<std::string>());
    EXPECT_EQ(Leftovers(work), std::vector<std::string>());
    EXPECT_EQ(Python("print(d['interrupted'], [c['outcome'] for c in d['clips']])", report),
              "False ['healthy', 'advance', 'advance', 'advance']\n");
    EXPECT_EQ(ReadText(page).find("class=\"stopped\""), std::string::npos);

    // Two clips at work at once: the stop ends both repairs and leaves no result.
    EXPECT_EQ(run("TERM", 2, out2), 143);
    EXPECT_EQ(processesLeft(), "");
    EXPECT_EQ(ReadText(out2 + "/QorVideoRepair.log").find("AdvanceRepair Completed"),
              std::string::npos);
    EXPECT_EQ(Leftovers(out2), std::vector<std::string>());
    EXPECT_EQ(Leftovers(work), std::vector<std::string>());
    EXPECT_EQ(Python("print(d['interrupted'], [c['outcome'] for c in d['clips']])", report2),
              "True ['healthy']\n");
    EXPECT_FALSE(Exists(out2 + "/Clip/C0002.MXF") || Exists(out2 + "/Clip/C0003.MXF"));
    // The same records as one clip at a time, in clip order, and each step's
    // line whole.
    EXPECT_EQ(run("", 2, out2), 0);
    const std::string rows =
        "print('\\n'.join('%s %s %d %s %s %d %d' % (c['in_card'], c['outcome'], c['code'], "
        "(c['sample'] or '-').split('/')[-1], (c['result'] or '-').split('/')[-1], c['frames'], "
        "len(c['audio_tracks'])) for c in d['clips']))";
    EXPECT_EQ(Python(rows, report2), Python(rows, report));
    EXPECT_EQ(RunShell("grep -Evq '^clip [1-4] of 4 Clip/C000[1-4][.]MXF(: |  )' " +
                       Quote(folder / "progress")),
              1);
    EXPECT_EQ(Leftovers(out2), std::vector<std::string>());
    EXPECT_EQ(Leftovers(work), std::vector<std::string>());
    EXPECT_EQ(HashTree(card), before);
}

}  // namespace
}  // namespace vexmend::test
