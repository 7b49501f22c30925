// The card mode on hostile cards and command lines: nothing written outside
// OUTPUT, nothing lost.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "platform/Platform.h"
#include "repair/CardSupport.h"
#include "support/TestSupport.h"

namespace vexmend::test {
namespace {

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

}  // namespace
}  // namespace vexmend::test
