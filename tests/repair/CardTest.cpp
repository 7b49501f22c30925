// The host program's card mode and scan command on cards made at test time.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

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
            "02.MXF",
        replaced =
            "C\xef\xbf\xbd"
            "02.MXF";
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
                                        Quote(c.out + "/report.json") + run.arguments,
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
            EXPECT_FALSE(Exists(c.out + "/report.json"));
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
                      report = out + "/report.json", out2 = folder / "out2",
                      report2 = out2 + "/report.json";
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
                                    Quote(to + "/report.json") + " --jobs " + std::to_string(jobs) +
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
    EXPECT_FALSE(Exists(out + "/Clip/C0002.MXF"));

    EXPECT_EQ(run("KILL"), 128 + 9);
    EXPECT_EQ(processesLeft(), "");
    EXPECT_NE(Leftovers(out), std::vector<std::string>());
    EXPECT_EQ(run(""), 0);
    EXPECT_EQ(Leftovers(out), std::vector<std::string>());
    EXPECT_EQ(Leftovers(work), std::vector<std::string>());
    EXPECT_EQ(Python("print(d['interrupted'], [c['outcome'] for c in d['clips']])", report),
              "False ['healthy', 'advance', 'advance', 'advance']\n");

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
