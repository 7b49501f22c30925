// The advance repair on files made by ffmpeg and by cameras' writers, damaged
// the way cards and disks damage them.
#include "repair/RepairFixture.h"

namespace vexmend::test {
namespace {

enum class Damage { HeaderAndFooter, FirstFrame, ByteErrors };

struct Recording {
    const char* name;
    const char* make;  // shell command writing the healthy file to $out, else MakeMxf(spec)
    MediaSpec spec;
    Damage damage;
    double rate;
    int tracks;                  // audio tracks of the result, track i a tone of 440 + 110 i Hz,
    const char* track;                // each one described so
    MediaSpec sample = MediaSpec{0};  // frames 0: the healthy file is the sample
    const char* warning = nullptr;    // the record on sound left out
};

void PrintTo(const Recording& recording, std::ostream* out) { *out << recording.name; }

// Header and footer: zeros before the first element (header partition and
// metadata) and from the footer partition on, so that ffmpeg no longer reads
// the file as MXF; with more than two tracks, the third track's element of the
// fifth frame loses its key too.
void Apply(Damage damage, std::vector<uint8_t>& bytes, int tracks)
{
    const std::vector<ReferenceElement> elements = ReferenceWalk(bytes);
    auto nth = [&](int kind, int n) {
        return *std::find_if(elements.begin(), elements.end(),
                             [&](auto& e) { return e.kind == kind && n-- == 0; });
    };
    static const uint8_t footer[14] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01,
                                       0x01, 0x0D, 0x01, 0x02, 0x01, 0x01, 0x04};
    if (damage == Damage::FirstFrame)
        std::fill_n(bytes.begin(), nth(0, 0).offset + nth(0, 0).size, 0);
    for (uint64_t at = elements[0].key + 5000; damage == Damage::ByteErrors && at < bytes.size();
         at += 10000) {
        bytes[at] ^= 1 << (at % 8);  // a flipped bit in every 10,000 essence bytes
    }
    if (damage != Damage::HeaderAndFooter) return;
    if (tracks > 2) bytes[nth(1, 4 * tracks + 2).key] = 0;
    std::fill(std::find_end(bytes.begin() + elements[0].key, bytes.end(), footer, footer + 14),
              bytes.end(), 0);
    std::fill_n(bytes.begin(), elements[0].key, 0);
}

class AdvanceRepair : public RepairTest, public ::testing::WithParamInterface<Recording> {};

// A file that ffmpeg no longer reads as MXF is rebuilt from the frames that
// the scan finds in it, with the sample's frame rate and audio tracks.
TEST_P(AdvanceRepair, KeepsEveryFrameTheScanFinds)
{
    const Recording& c = GetParam();
    // A backslash is an ordinary file-name character here.
    const std::string healthy = media / "healthy.mxf", damaged = media / "damaged\\" + c.name;
    const std::string sample = c.sample.frames > 0 ? media / "sample.mxf" : healthy;
    const std::string output = work / "out/repaired.mxf";
    if (c.make == nullptr) MakeMxf(healthy, c.spec);
    ASSERT_EQ(c.make ? RunShell("out=" + Quote(healthy) + "; " + c.make) : 0, 0);
    if (sample != healthy) MakeMxf(sample, c.sample);
    std::vector<uint8_t> bytes = ReadBytes(healthy);
    Apply(c.damage, bytes, c.spec.audioStreams);
    WriteBytes(damaged, bytes);
    int64_t frames = 0;
    for (const ReferenceElement& e : ReferenceWalk(bytes)) frames += e.kind == 0;
    ASSERT_GE(frames, 20);
    const auto before = HashTree(media.Path());

    ASSERT_EQ(QorMxfAdvanceRepair(damaged.c_str(), sample.c_str(), output.c_str()), VEXMEND_OK);
    ProbeResult probe = Probe(output);
    EXPECT_NEAR(probe.videoPackets, frames, c.damage == Damage::ByteErrors ? frames / 20 : 1);
    // Every frame decodes: the result starts at a key frame.
    EXPECT_NEAR(probe.videoFrames, frames, c.damage == Damage::ByteErrors ? frames / 20 : 1);
    EXPECT_NEAR(probe.frameRate, c.rate, 0.01);
    EXPECT_NEAR(probe.duration, frames / c.rate, 1.5 / c.rate);
    EXPECT_EQ(probe.audio, std::vector<std::string>(c.tracks, c.track));
    for (int i = 0; i < c.tracks; ++i) EXPECT_NEAR(ToneFrequency(output, i), 440 + 110 * i, 20);
    EXPECT_TRUE(c.warning ? Logged(c.warning) : !Logged(" left out"));
    EXPECT_EQ(HashTree(media.Path()), before);
    EXPECT_TRUE(HashTree(work / "work/AdvanceRepairedVideo").empty());
    EXPECT_TRUE(Logged(") [AdvanceRepair] start advanced repair  " + damaged + "\n"));
}

const Damage kHeader = Damage::HeaderAndFooter, kFirstFrame = Damage::FirstFrame;
// The first package's sound is left out when its picture is gone.
const char* const kFirstSound = " sound elements left out";
const MediaSpec kStereoS16{};
const char* const kUndescribed = "[MXF] sound elements of a track the sample does not describe";

INSTANTIATE_TEST_SUITE_P(
    Recordings, AdvanceRepair,
    ::testing::Values(
        Recording{"s24le_stereo_2997", nullptr, MediaSpec{60, "30000/1001", "pcm_s24le", 2, 1},
                  kHeader, 29.97, 1, "pcm_s24le,48000,2"},
        Recording{"s24le_eight_mono_one_sound_element_lost", nullptr,
                  MediaSpec{50, "25", "pcm_s24le", 1, 8}, kHeader, 25, 8, "pcm_s24le,48000,1"},
        Recording{"stereo_s16le_sample_for_mono_s24le", nullptr,
                  MediaSpec{50, "25", "pcm_s24le", 1, 1}, kHeader, 25, 0, "", kStereoS16,
                  "[MXF] audio track left out, its sound elements do not fit the sample: track 1"},
        Recording{"video_only_sample", nullptr, kStereoS16, kHeader, 25, 0, "",
                  MediaSpec{50, "25", "pcm_s16le", 2, 0}, kUndescribed},
        Recording{"mpeg2_hd_422_50mbit_first_gop_lost",
                  "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=1920x1080:rate=25 -f lavfi "
                  "-i sine=sample_rate=48000 -frames:v 36 -c:v mpeg2video -b:v 50M -maxrate 50M "
                  "-bufsize 17M -g 12 -bf 2 -pix_fmt yuv422p -flags +ildct+ilme -c:a pcm_s24le "
                  "-ac 1 -shortest -f mxf \"$out\"",
                  MediaSpec{}, kFirstFrame, 25, 1, "pcm_s24le,48000,1", MediaSpec{0}, kFirstSound},
        Recording{"gstreamer_mpeg2_one_sequence_header",
                  "gst-launch-1.0 -q videotestsrc num-buffers=40 ! "
                  "video/x-raw,width=720,height=576,framerate=25/1 ! mpeg2enc format=3 ! "
                  "mxfmux name=m ! filesink location=\"$out\" audiotestsrc num-buffers=80 "
                  "samplesperbuffer=960 ! audio/x-raw,format=S16LE,rate=48000,channels=2 ! m.",
                  MediaSpec{}, kFirstFrame, 25, 1, "pcm_s16le,48000,2", MediaSpec{0}, kFirstSound},
        Recording{"h264_gop50_first_parameter_sets_lost",
                  "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=640x360:rate=25 -f lavfi -i "
                  "sine=sample_rate=48000 -frames:v 120 -c:v libx264 -x264-params "
                  "keyint=50:scenecut=0 -pix_fmt yuv420p -c:a pcm_s16le -shortest -f mxf \"$out\"",
                  MediaSpec{}, kFirstFrame, 25, 1, "pcm_s16le,48000,1", MediaSpec{0}, kFirstSound},
        Recording{"d10_imx50_aes3_sound_byte_errors",
                  "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=720x608:rate=25 -f lavfi -i "
                  "sine=sample_rate=48000 -frames:v 100 -c:v mpeg2video -pix_fmt yuv422p -g 0 "
                  "-flags +ildct+low_delay -dc 10 -intra_vlc 1 -non_linear_quant 1 -ps 1 -qmin 1 "
                  "-qmax 3 -top 1 -bufsize 2000000 -rc_init_occupancy 2000000 -minrate 50M "
                  "-maxrate 50M -b:v 50M -c:a pcm_s16le -ac 4 -shortest -f mxf_d10 \"$out\"",
                  MediaSpec{}, Damage::ByteErrors, 25, 1, "pcm_s16le,48000,4"}),
    [](const ::testing::TestParamInfo<Recording>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexmend::test
