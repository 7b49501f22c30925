// The host program's card mode and scan command on cards made at test time.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>

#include "platform/Platform.h"
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
             Spoil(x + "Clip/C0002.MXF", 0.4, 256 << 10);
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
         "PRIVATE/XDROOT/Clip/C0002.MXF general - 16/46 2 11:00:10:00\n"
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
        if (row.exit != 0) continue;
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

// Every entry under `root` but the folders `skipped` and what they hold: a
// regular file by its content's hash, a link by its target, anything else by
// its type alone.
std::map<std::string, std::string> Snapshot(const std::string& root,
                                            const std::vector<std::string>& skipped)
{
    namespace fs = std::filesystem;
    std::map<std::string, std::string> entries;
    std::error_code e;
    for (auto it = fs::recursive_directory_iterator(root, e); it != fs::end(it); it.increment(e)) {
        const std::string path = it->path().string();
        if (std::any_of(skipped.begin(), skipped.end(), [&](const std::string& folder) {
                return path == folder || path.rfind(folder + "/", 0) == 0;
            })) {
            continue;
        }
        const fs::file_status status = it->symlink_status(e);
        entries[path] = fs::is_symlink(status)        ? fs::read_symlink(it->path(), e).string()
                        : fs::is_regular_file(status) ? std::to_string(HashTree(root)[path])
                                                      : std::to_string(int(status.type()));
    }
    return entries;
}

// Files whose names mark them as the card mode's own temporary ones.
std::vector<std::string> Leftovers(const std::string& folder)
{
    std::vector<std::string> found;
    std::error_code e;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, e)) {
        if (entry.path().filename().string().rfind(".vexmend-", 0) == 0) {
            found.push_back(entry.path().string());
        }
    }
    return found;
}

// A card in `root`/card with the healthy clip at Clip/C0001.MXF, OUTPUT at
// `root`/out and a folder beside them that nothing may touch.
struct HostileCard {
    std::string root, card, out, elsewhere, work;
    std::string Clip(const std::string& name) const { return card + "/Clip/" + name; }
};

// How a row runs the card command: what goes before the program (a folder
// to change to, another user), the arguments after "card CARD OUT", and
// OUTPUT when it is not `root`/out.
struct HostileRun {
    std::string before = "", arguments = "", out = "";
};

struct HostileRow {
    const char* name;
    std::function<HostileRun(const HostileCard&)> prepare;  // lays out the card
    int exit;
    // The report's lines "clip-in-card outcome result-name [reason]"; none
    // written when empty.
    std::string report;
};

// A mount made for a row, or the row skipped where mounts cannot be made.
HostileRun Mounted(const std::string& command, HostileRun run)
{
    if (geteuid() != 0 || RunShell(command) != 0) run.before = "exit 77; ";
    return run;
}

TEST(CardMode, HostileCardsAndCommandLinesWriteNothingOutsideOutputAndLoseNothing)
{
    namespace fs = std::filesystem;
    TempFolder media;
    const std::string healthy = media / "healthy.mxf", cut = media / "cut.mxf",
                      named = media / "named.mxf";
    MakeMxf(healthy, {25, "25", "pcm_s24le", 1, 2});
    Damage(healthy, cut, 0.6, 0);
    RunShell(
        "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=320x240:rate=25 -frames:v 25 "
        "-c:v mpeg2video -metadata company_name='Error Corp' -metadata title=Mirror -f mxf " +
        Quote(named));
    auto copy = [](const std::string& from, const std::string& to) {
        fs::create_directories(fs::path(to).parent_path());
        fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    };
    const std::string longName(250, 'L'),
        notUtf8 =
            "C\xff"
            "<&02.MXF",
        replaced =
            "C\xef\xbf\xbd"
            "<&02.MXF";
    const bool root = geteuid() == 0;
    const HostileRow rows[] = {
        {"report into a clip",
         [](const HostileCard& c) {
             return HostileRun{"", " --report " + Quote(c.Clip("C0001.MXF"))};
         },
         2, ""},
        {"report into the card",
         [](const HostileCard& c) {
             return HostileRun{"", " --report " + Quote(c.card + "/r.json")};
         },
         2, ""},
        {"clip linked out of the card, healthy clips copied",
         [&](const HostileCard& c) {
             copy(cut, c.elsewhere + "/victim.MXF");
             fs::create_symlink(c.elsewhere + "/victim.MXF", c.Clip("C0002.MXF"));
             return HostileRun{"", " --copy-healthy"};
         },
         0,
         "Clip/C0001.MXF healthy C0001.MXF\nClip/C0002.MXF skipped - a link leading outside the "
         "card\n"},
        {"clip folder linked out of the card",
         [&](const HostileCard& c) {
             fs::rename(c.card + "/Clip", c.elsewhere + "/Clip");
             fs::create_symlink(c.elsewhere + "/Clip", c.card + "/Clip");
             copy(cut, c.card + "/C0009.MXF");
             return HostileRun{};
         },
         0, "C0009.MXF general C0009.MXF\nClip skipped - a link leading outside the card\n"},
        {"output through a bind mount of the card",
         [](const HostileCard& c) {
             fs::create_directories(c.root + "/mount");
             return Mounted("mount --bind " + Quote(c.card) + " " + Quote(c.root + "/mount"),
                            {"", "", c.root + "/mount/out"});
         },
         2, ""},
        {"log linked to a clip",
         [](const HostileCard& c) {
             fs::create_directories(c.out);
             fs::create_symlink(c.Clip("C0001.MXF"), c.out + "/QorVideoRepair.log");
             return HostileRun{};
         },
         2, ""},
        {"work folder that cannot be made, current folder in the card",
         [](const HostileCard& c) {
             WriteBytes(c.elsewhere + "/file", {1});
             return HostileRun{"cd " + Quote(c.card) + " && ",
                               " --work-dir " + Quote(c.elsewhere + "/file/work")};
         },
         2, ""},
        {"two recordings of one name",
         [&](const HostileCard& c) {
             copy(cut, c.Clip("C0002.MXF"));
             copy(cut, c.Clip("C0002.RSV"));
             copy(cut, c.Clip("c0002.mxf"));
             return HostileRun{};
         },
         0,
         "Clip/C0001.MXF healthy -\nClip/C0002.MXF general C0002.MXF\n"
         "Clip/C0002.RSV general C0002.RSV.MXF\nClip/c0002.mxf general c0002-2.mxf\n"},
        {"damage inside the essence that the encoder reads through",
         [&](const HostileCard& c) {
             std::vector<uint8_t> bytes = ReadBytes(healthy);
             std::fill_n(bytes.begin() + bytes.size() * 2 / 5, 4096, 0);
             WriteBytes(c.Clip("C0002.MXF"), bytes);
             return HostileRun{};
         },
         0, "Clip/C0001.MXF healthy -\nClip/C0002.MXF general C0002.MXF\n"},
        {"folder of the output linked out of it",
         [&](const HostileCard& c) {
             copy(cut, c.Clip("C0002.MXF"));
             fs::create_directories(c.out);
             fs::create_directories(c.elsewhere + "/Clip");
             fs::create_symlink(c.elsewhere + "/Clip", c.out + "/Clip");
             return HostileRun{};
         },
         4,
         "Clip/C0001.MXF healthy -\nClip/C0002.MXF failed - ROOT/out/Clip is a symbolic link, "
         "which is never written through\n"},
        {"report linked out of the output",
         [](const HostileCard& c) {
             fs::create_directories(c.out);
             WriteBytes(c.elsewhere + "/r.json", {'{', '}'});
             fs::create_symlink(c.elsewhere + "/r.json", c.out + "/r.json");
             return HostileRun{"", " --report " + Quote(c.out + "/r.json")};
         },
         2, ""},
        {"Clip and CLIP",
         [&](const HostileCard& c) {
             copy(cut, c.card + "/CLIP/C0003.MXF");
             return HostileRun{};
         },
         0, "CLIP/C0003.MXF general C0003.MXF\nClip/C0001.MXF healthy -\n"},
        {"clip folder that cannot be read",
         [&](const HostileCard& c) {
             copy(cut, c.card + "/CLIP/C0003.MXF");
             chmod((c.card + "/Clip").c_str(), 0311);
             if (!root) return HostileRun{};
             // Root reads any folder: the run goes as another user.
             for (const std::string& f : {c.out, c.work}) {
                 fs::create_directories(f);
                 chmod(f.c_str(), 0777);
             }
             chmod(c.root.c_str(), 0755);
             return HostileRun{"setpriv --reuid=65534 --regid=65534 --clear-groups "};
         },
         4,
         "CLIP/C0003.MXF general C0003.MXF\nClip failed - the folder cannot be read: Permission "
         "denied\n"},
        {"words of trouble in a healthy clip's metadata",
         [&](const HostileCard& c) {
             copy(named, c.Clip("C0002.MXF"));
             return HostileRun{"", " --copy-healthy"};
         },
         0, "Clip/C0001.MXF healthy C0001.MXF\nClip/C0002.MXF healthy C0002.MXF\n"},
        {"longest name",
         [&](const HostileCard& c) {
             fs::remove_all(c.card + "/Clip");
             copy(healthy, c.card + "/" + longName + ".MXF");
             return HostileRun{"", " --copy-healthy"};
         },
         0, longName + ".MXF healthy " + longName + ".MXF\n"},
        {"name that is not UTF-8",
         [&](const HostileCard& c) {
             copy(cut, c.Clip(notUtf8));
             return HostileRun{};
         },
         0, "Clip/C0001.MXF healthy -\nClip/" + replaced + " general " + replaced + "\n"},
        {"FIFO, folder and device named like clips",
         [](const HostileCard& c) {
             mkfifo(c.Clip("C0005.MXF").c_str(), 0644);
             fs::create_directories(c.Clip("C0006.MXF"));
             fs::create_symlink("/dev/zero", c.Clip("C0007.MXF"));
             return HostileRun{};
         },
         0,
         "Clip/C0001.MXF healthy -\nClip/C0005.MXF skipped - a FIFO\nClip/C0006.MXF skipped - a "
         "folder\n"
         "Clip/C0007.MXF skipped - a link leading outside the card\n"},
        {"output that cannot be made",
         [](const HostileCard& c) {
             WriteBytes(c.elsewhere + "/file", {1});
             return HostileRun{"", "", c.elsewhere + "/file/out"};
         },
         2, ""},
        {"read-only output",
         [](const HostileCard& c) {
             fs::create_directories(c.out);
             return Mounted("mount -t tmpfs -o ro tmpfs " + Quote(c.out), {});
         },
         2, ""},
        {"output in use by another run", [](const HostileCard&) { return HostileRun{}; }, 6, ""},
    };
    for (const HostileRow& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        const HostileCard c{folder.Path(), folder / "card", folder / "out", folder / "elsewhere",
                            folder / "work"};
        fs::create_directories(c.elsewhere);
        copy(healthy, c.Clip("C0001.MXF"));
        const HostileRun run = row.prepare(c);
        // Another run holds the output folder.
        std::unique_ptr<platform::FileLock> held;
        const std::string lock = c.out + "/.vexmend-card.lock";
        if (row.exit == 6) {
            fs::create_directories(c.out);
            held = std::make_unique<platform::FileLock>(lock, "vexmend card run\n");
        }
        const auto before = Snapshot(c.root, {c.out, c.work});
        std::string output;
        const int status = RunShell(run.before + Quote(VEXMEND_HOST_PROGRAM) + " --work-dir " +
                                        Quote(c.work) + " card " + Quote(c.card) + " " +
                                        Quote(run.out.empty() ? c.out : run.out) + " --report " +
                                        Quote(c.out + "/report.json") + " --report " +
                                        Quote(c.out + "/report.html") + run.arguments,
                                    &output);
        const auto after = Snapshot(c.root, {c.out, c.work});
        RunShell("umount " + Quote(c.root + "/mount") + " 2>/dev/null; umount " + Quote(c.out) +
                 " 2>/dev/null");
        chmod((c.card + "/Clip").c_str(), 0755);
        if (status == 77) continue;  // no mount here
        EXPECT_EQ(status, row.exit) << output;
        EXPECT_EQ(after, before) << output;
        EXPECT_EQ(Leftovers(c.out),
                  (row.exit == 6 ? std::vector<std::string>{lock} : std::vector<std::string>()))
            << output;
        EXPECT_EQ(Leftovers(c.work), std::vector<std::string>()) << output;
        if (row.report.empty()) {
            EXPECT_FALSE(Exists(c.out + "/report.json") || Exists(c.out + "/report.html"));
            EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(c.out + "/QorVideoRepair.log")));
            continue;
        }
        std::string report = Python(
            "print('\\n'.join(' '.join([c['in_card'], c['outcome'], (c['result'] or '-')"
            ".split('/')[-1]] + ([c['reason']] if c['reason'] else [])) for c in d['clips']))",
            c.out + "/report.json");
        for (size_t at; (at = report.find(c.root)) != std::string::npos;) {
            report.replace(at, c.root.size(), "ROOT");
        }
        EXPECT_EQ(report, row.report) << output;
        // The HTML report has names escaped, and no byte that is not UTF-8.
        const std::string html = ReadText(c.out + "/report.html");
        EXPECT_EQ(html.find("<&"), std::string::npos);
        EXPECT_EQ(html.find('\xff'), std::string::npos);
        EXPECT_EQ(html.find("&lt;&amp;") != std::string::npos,
                  report.find("<&") != std::string::npos);
    }
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
