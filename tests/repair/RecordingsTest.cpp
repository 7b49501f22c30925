// The advance repair on recordings as cameras and other writers make them,
// damaged the way cards and disks damage them.
#include <random>

#include "MxfAdvanceRepair/VideoCodec.h"
#include "repair/RepairFixture.h"

namespace vexmend::test {
namespace {

enum class Damage { FirstFrameLost, ByteErrors };

struct Recording {
    const char* name;
    const char* make;  // shell command writing the healthy file to $out
    const char* damagedName;
    Damage damage;
    const char* codec;
    double rate;
    // Decoders show frames only from the first stream header on (H.264).
    bool decodedFromFirstHeader;
};

void PrintTo(const Recording& recording, std::ostream* out) { *out << recording.name; }

void Damage(std::vector<uint8_t>& bytes, Damage damage)
{
    std::vector<ReferenceElement> elements = ReferenceWalk(bytes);
    if (damage == Damage::FirstFrameLost) {
        for (const ReferenceElement& e : elements) {
            if (e.kind != 0) continue;
            std::fill(bytes.begin(), bytes.begin() + static_cast<long>(e.offset + e.size), 0);
            return;
        }
    }
    // One flipped bit in every 10,000 essence bytes.
    std::mt19937 random(7);
    uint64_t start = FirstEssenceKey(bytes);
    std::uniform_int_distribution<uint64_t> at(start, bytes.size() - 1);
    for (uint64_t n = (bytes.size() - start) / 10000; n > 0; --n) bytes[at(random)] ^= 1 << (n % 8);
}

class Recordings : public RepairTest, public ::testing::WithParamInterface<Recording> {};

TEST_P(Recordings, EveryFrameTheScanFindsIsKept)
{
    const Recording& recording = GetParam();
    std::string sample = media / "sample.mxf";
    ASSERT_EQ(RunShell(std::string("out=") + Quote(sample) + "; " + recording.make), 0);
    std::vector<uint8_t> bytes = ReadBytes(sample);
    Damage(bytes, recording.damage);
    std::string damaged = media / recording.damagedName;
    WriteBytes(damaged, bytes);

    int64_t frames = 0, headerFrame = -1;
    for (const ReferenceElement& e : ReferenceWalk(bytes)) {
        if (e.kind != 0) continue;
        if (headerFrame < 0 && StartsWithStreamHeader(recording.codec, &bytes[e.offset], e.size)) {
            headerFrame = frames;
        }
        ++frames;
    }
    ASSERT_GE(frames, 20);
    std::string output = media / "repaired.mxf";
    ASSERT_EQ(QorMxfAdvanceRepair(damaged.c_str(), sample.c_str(), output.c_str()), VEXMEND_OK);

    ProbeResult probe = Probe(output);
    if (recording.damage == Damage::ByteErrors) {
        EXPECT_GE(probe.videoPackets, frames * 95 / 100);
    } else {
        EXPECT_NEAR(probe.videoPackets, frames, 1);
        int64_t decodable = recording.decodedFromFirstHeader ? frames - headerFrame : frames;
        EXPECT_NEAR(probe.videoFrames, decodable, 1);
    }
    EXPECT_NEAR(probe.duration, frames / recording.rate, 1.5 / recording.rate);
    // Every writer's sound (AES3 in D10) comes through as its 440 Hz tone.
    ASSERT_EQ(probe.audioStreams, 1);
    EXPECT_GT(ToneShare(output, 0, 440), 0.8);
    EXPECT_TRUE(Logged(") [AdvanceRepair] result moved by rename: " + output));
}

INSTANTIATE_TEST_SUITE_P(
    Writers, Recordings,
    ::testing::Values(
        Recording{"mpeg2_hd_422_50mbit_first_gop_lost",
                  "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=1920x1080:rate=25 "
                  "-f lavfi -i sine=sample_rate=48000 -frames:v 36 -c:v mpeg2video -b:v 50M "
                  "-maxrate 50M -bufsize 17M -g 12 -bf 2 -pix_fmt yuv422p -flags +ildct+ilme "
                  "-c:a pcm_s24le -ac 1 -shortest -f mxf \"$out\"",
                  "clip.dat", Damage::FirstFrameLost, "mpeg2video", 25.0, false},
        Recording{"gstreamer_mpeg2_one_sequence_header",
                  "gst-launch-1.0 -q videotestsrc num-buffers=40 ! "
                  "video/x-raw,width=720,height=576,framerate=25/1 ! mpeg2enc format=3 ! "
                  "mxfmux name=m ! filesink location=\"$out\" audiotestsrc num-buffers=80 "
                  "samplesperbuffer=960 ! audio/x-raw,format=S16LE,rate=48000,channels=2 ! m.",
                  "C0001.RSV", Damage::FirstFrameLost, "mpeg2video", 25.0, false},
        Recording{"h264_gop50_first_parameter_sets_lost",
                  "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=640x360:rate=25 "
                  "-f lavfi -i sine=sample_rate=48000 -frames:v 120 -c:v libx264 "
                  "-x264-params keyint=50:scenecut=0 -pix_fmt yuv420p -c:a pcm_s16le "
                  "-shortest -f mxf \"$out\"",
                  "take", Damage::FirstFrameLost, "h264", 25.0, true},
        Recording{"d10_imx50_byte_errors",
                  "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=720x608:rate=25 "
                  "-f lavfi -i sine=sample_rate=48000 -frames:v 100 -c:v mpeg2video "
                  "-pix_fmt yuv422p -g 0 -flags +ildct+low_delay -dc 10 -intra_vlc 1 "
                  "-non_linear_quant 1 -ps 1 -qmin 1 -qmax 3 -top 1 -bufsize 2000000 "
                  "-rc_init_occupancy 2000000 -minrate 50M -maxrate 50M -b:v 50M "
                  "-c:a pcm_s16le -ac 4 -shortest -f mxf_d10 \"$out\"",
                  "d10.mxf", Damage::ByteErrors, "mpeg2video", 25.0, false}),
    [](const ::testing::TestParamInfo<Recording>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexmend::test
