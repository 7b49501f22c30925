// A 0 means one whole, right file at the output, whatever runs beside the
// call or fails under it; a failure leaves the output as it was, no
// temporary file beside it and nothing in the work folder.
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "repair/RepairFixture.h"

namespace vexmend::test {
namespace {

class ResultIntegrity : public RepairTest {
protected:
    // A copy of `healthy` with zeros up to its first essence element, which
    // the encoder no longer reads as MXF.
    std::string Damaged(const std::string& healthy, const std::string& damaged)
    {
        std::vector<uint8_t> bytes = ReadBytes(healthy);
        std::fill_n(bytes.begin(), ReferenceWalk(bytes)[0].key, 0);
        WriteBytes(damaged, bytes);
        return damaged;
    }
    // Frames, audio tracks and the decoded video's MD5 of a result.
    std::string Fingerprint(const std::string& path)
    {
        std::string md5;
        RunShell("ffmpeg -nostdin -v error -i " + Quote(path) + " -map 0:v -f md5 -", &md5);
        const ProbeResult probe = Probe(path);
        return std::to_string(probe.videoFrames) + " frames, " +
               std::to_string(probe.audio.size()) + " tracks, " + md5;
    }
    // Temporary outputs left in `folder`.
    static bool TemporaryFilesIn(const std::string& folder)
    {
        std::error_code e;
        for (const auto& entry : std::filesystem::directory_iterator(folder, e)) {
            if (entry.path().filename().string().rfind(".vexmend-", 0) == 0) return true;
        }
        return false;
    }
    const std::string host = VEXMEND_HOST_PROGRAM;
};

TEST_F(ResultIntegrity, FailuresLeaveTheOutputAsItWasAndNothingBehind)
{
    const std::string m = media.Path(), ro = work / "ro", full = work / "full";
    // Root may mount: a read-only file system and a full one for outputs.
    const bool mounted = RunShell("mkdir " + Quote(ro) + " " + Quote(full) +
                                  " && mount -t tmpfs -o ro,size=64k none " + Quote(ro) +
                                  " && mount -t tmpfs -o size=64k none " + Quote(full)) == 0;
    struct Unmount {
        std::string folders;
        ~Unmount() { RunShell("umount " + folders); }
    } unmount{Quote(ro) + " " + Quote(full)};
    MakeMxf(m + "/sample.mxf", {});
    const std::string damaged = Damaged(m + "/sample.mxf", m + "/damaged.mxf");
    const int64_t frames = Probe(m + "/sample.mxf").videoFrames;
    const std::string longName = Damaged(damaged, m + "/" + std::string(246, 'n'));
    const std::string make = "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=";
    RunShell(make + "64x64:rate=24000/1001 -frames:v 12000 -c:v mpeg2video -g 12 -f mxf " +
             Quote(m + "/2398.mxf"));
    RunShell(make + "1920x1080:rate=25 -frames:v 8 -c:v dnxhd -b:v 36M -pix_fmt yuv422p -f mxf " +
             Quote(m + "/dnxhd.mxf"));
    WriteBytes(m + "/file.txt", {'f'});
    // Six MPEG-2 frames of a profile and level that MXF has no label for.
    const std::vector<uint8_t> frame{0x00, 0x00, 0x01, 0xB3, 0x14, 0x01, 0x00, 0x13, 0x2F, 0xFF,
                                     0xFF, 0xF8, 0x00, 0x00, 0x01, 0xB5, 0x1F, 0xFF, 0x00, 0x01,
                                     0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x10, 0xFF, 0xFF};
    std::vector<uint8_t> noise;
    for (int i = 0; i < 6; ++i) {
        noise.insert(noise.end(), {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02, 0x01, 0x01, 0x0D, 0x01, 0x03,
                                   0x01, 0x15, 0x01, 0x05, 0x00, 0x82, 0x10, 0x00});
        noise.insert(noise.end(), frame.begin(), frame.end());
        noise.insert(noise.end(), 0x1000 - frame.size(), 0x55);
    }
    WriteBytes(m + "/noise.mxf", noise);
    // Holes of 1.5 GiB (sparse zeros) between the thirds of the damaged
    // file's elements: 3 GiB of unrecognised bytes, 1.5 GiB in each run.
    const std::vector<uint8_t> d = ReadBytes(damaged);
    const std::vector<ReferenceElement> elements = ReferenceWalk(d);
    std::ofstream holes(work / "holes.mxf", std::ios::binary);
    for (size_t third = 0, from = 0; third < 3; ++third) {
        const size_t to = third < 2 ? elements[elements.size() * (third + 1) / 3].key : d.size();
        holes.seekp(third > 0 ? 0x60000000 : 0, std::ios::cur);
        holes.write(reinterpret_cast<const char*>(&d[from]), static_cast<long>(to - from));
        from = to;
    }
    holes.close();
    const struct {
        const char* name;
        std::string input, sample, output;
        int32_t result;
        int64_t frames;  // of the result
        std::string record = "";
        bool beforeScan = false, needsMount = false;
        std::function<void()> before = nullptr;
    } cases[] = {
        {"output on a read-only file system", damaged, m + "/sample.mxf", ro + "/o.mxf",
         VEXMEND_ADVANCE_FAILED, 0, "[AdvanceRepair] output cannot be written: ", true, true},
        {"output on a full file system", damaged, m + "/sample.mxf", full + "/o.mxf",
         VEXMEND_ADVANCE_FAILED, 0, "[MXF] encoder failed, exit status: ", false, true},
        {"general repair onto a full file system", m + "/sample.mxf", "", full + "/g.mxf",
         VEXMEND_NO_OUTPUT, 0, "[GeneralRepair] encoder exit status: ", false, true},
        {"output folder below a file", damaged, m + "/sample.mxf", m + "/file.txt/d/o.mxf",
         VEXMEND_ADVANCE_FAILED, 0, "[AdvanceRepair] output cannot be written: ", true},
        {"frames the encoder cannot wrap", m + "/noise.mxf", m + "/sample.mxf", work / "o.mxf",
         VEXMEND_ADVANCE_FAILED, 0,
         ") [GetRepairedVideo]merge audio and video file by ffmpeg failed. -1\n"},
        {"name of 246 characters", longName, m + "/sample.mxf", work / "o.mxf", VEXMEND_OK, frames},
        {"DNxHD pictures, MPEG-2 sample", Damaged(m + "/dnxhd.mxf", work / "dnxhd.mxf"),
         m + "/sample.mxf", work / "o.mxf", VEXMEND_ADVANCE_FAILED, 0,
         "[MXF] pictures are not of the sample's codec: damaged file dnxhd, sample mpeg2video"},
        {"two holes of 1.5 GiB", work / "holes.mxf", m + "/sample.mxf", work / "o.mxf", VEXMEND_OK,
         frames},
        {"12000 frames at 23.976", Damaged(m + "/2398.mxf", work / "2398.mxf"), m + "/2398.mxf",
         work / "o.mxf", VEXMEND_OK, 12000},
        {"sample missing", damaged, m + "/later.mxf", work / "o.mxf", VEXMEND_ADVANCE_FAILED, 0,
         "Analysize audio codec info by ffmpeg failed."},
        {"the same sample in place", damaged, m + "/later.mxf", work / "o.mxf", VEXMEND_OK, frames,
         "", false, false, [&] { WriteBytes(m + "/later.mxf", ReadBytes(m + "/sample.mxf")); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsMount && !mounted) continue;
#if defined(__SANITIZE_ADDRESS__)
        // Gigabytes and thousands of frames take minutes under the
        // sanitizers; the plain build runs these rows.
        const std::string name = c.name;
        if (name == "two holes of 1.5 GiB" || name == "12000 frames at 23.976") continue;
#endif
        NextCase();
        if (c.before) c.before();
        std::error_code absent;
        std::filesystem::remove(c.output, absent);
        const auto mediaBefore = HashTree(m);
        EXPECT_EQ(RunRepair(c.input, c.sample, c.output), c.result);
        EXPECT_EQ(Probe(c.output).videoFrames, c.frames);
        EXPECT_TRUE(Logged(c.record));
        EXPECT_EQ(Logged("[AdvanceRepair] start advanced repair"), !c.beforeScan && c.sample != "");
        EXPECT_EQ(HashTree(m), mediaBefore);
        EXPECT_TRUE(HashTree(work / "work").empty());
        EXPECT_FALSE(TemporaryFilesIn(std::filesystem::path(c.output).parent_path()));
        EXPECT_FALSE(OpenInThisProcess(c.input));
    }
}

// Host processes that share a work folder repair clips of one name at once:
// each result is the one that its lone run gives.
TEST_F(ResultIntegrity, ProcessesSharingAWorkFolder)
{
    const std::string m = media.Path();
    MakeMxf(m + "/a.mxf", MediaRecipe{150});
    MakeMxf(m + "/b.mxf", MediaRecipe{107, "25", "pcm_s16le", 2, 2});
    std::filesystem::create_directories(m + "/cardA");
    std::filesystem::create_directories(m + "/cardB");
    const std::string a = Damaged(m + "/a.mxf", m + "/cardA/C0001.MXF");
    const std::string pairs[][2] = {{a, Damaged(m + "/b.mxf", m + "/cardB/C0001.MXF")},
                                    {a, Damaged(m + "/b.mxf", m + "/cardA/C0001.RSV")}};
    auto repair = [&](const std::string& damaged, const char* sample, const char* output) {
        return Quote(host) + " --log-dir " + Quote(logs.Path()) + " --work-dir " +
               Quote(work / "work") + " advance " + Quote(damaged) + " " + Quote(m + sample) + " " +
               Quote(work / output) + " >/dev/null";
    };
    for (const auto& pair : pairs) {
        SCOPED_TRACE(pair[1]);
        ASSERT_EQ(RunShell(repair(pair[0], "/a.mxf", "a.mxf")), 0);
        ASSERT_EQ(RunShell(repair(pair[1], "/b.mxf", "b.mxf")), 0);
        const std::string lone[] = {Fingerprint(work / "a.mxf"), Fingerprint(work / "b.mxf")};
        for (int round = 0; round < 3; ++round) {
            EXPECT_EQ(RunShell(repair(pair[0], "/a.mxf", "a.mxf") + " & " +
                               repair(pair[1], "/b.mxf", "b.mxf") + " && wait $!"),
                      0);
            EXPECT_EQ(Fingerprint(work / "a.mxf"), lone[0]);
            EXPECT_EQ(Fingerprint(work / "b.mxf"), lone[1]);
            EXPECT_TRUE(HashTree(work / "work").empty());
        }
    }
}

// The encoder dies with a killed host; a later call removes the files that
// the killed call left in the work folder and beside its output.
TEST_F(ResultIntegrity, EncoderDiesWithItsHost)
{
    const std::string input = media / "long.mxf", output = work / "out/long.mxf";
    ASSERT_EQ(RunShell("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x64 -frames:v 12000 "
                       "-c:v mpeg2video -g 12 -f mxf " +
                       Quote(input)),
              0);
    // The host's orphans come to this process, so that the stopped encoder's
    // group is not orphaned (which would end it with SIGHUP) and its end
    // can be waited for.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    std::string encoder;
    for (int attempt = 0; attempt < 5 && encoder.empty(); ++attempt) {
        const std::string w = work / "work", l = logs.Path();
        const char* argv[] = {host.c_str(), "--log-dir",   l.c_str(),      "--work-dir", w.c_str(),
                              "general",    input.c_str(), output.c_str(), nullptr};
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ),
                  0);
        // The encoder is stopped as soon as it runs, so that only the
        // host's death can end it.
        const std::string children = "/proc/" + std::to_string(pid) + "/task/" +
                                     std::to_string(pid) + "/children";
        for (int i = 0; i < 20000 && encoder.empty() && Exists(children); ++i) {
            const std::string child = std::to_string(std::atoi(ReadText(children).c_str()));
            if (ReadText("/proc/" + child + "/comm") == "ffmpeg.exe\n" &&
                kill(std::stoi(child), SIGSTOP) == 0) {
                encoder = child;
            }
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    ASSERT_FALSE(encoder.empty());
    pid_t ended = 0;
    for (int i = 0; i < 200 && ended == 0; ++i, usleep(10000))
        ended = waitpid(std::stoi(encoder), nullptr, WNOHANG);
    EXPECT_GT(ended, 0) << "the encoder outlived its host";
    kill(std::stoi(encoder), SIGKILL);
    waitpid(std::stoi(encoder), nullptr, 0);
    prctl(PR_SET_CHILD_SUBREAPER, 0);
    EXPECT_TRUE(TemporaryFilesIn(work / "out"));
    EXPECT_FALSE(HashTree(work / "work/RepairedVideo").empty());
    MakeMxf(media / "other.mxf", MediaRecipe{5});
    EXPECT_EQ(QorMxfGeneralRepair((media / "other.mxf").c_str(), (work / "other.mxf").c_str()),
              VEXMEND_OK);
    EXPECT_FALSE(TemporaryFilesIn(work / "out"));
    EXPECT_TRUE(HashTree(work / "work").empty());
}

}  // namespace
}  // namespace vexmend::test
