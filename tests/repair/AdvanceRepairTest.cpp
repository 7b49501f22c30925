// The advance repair on files made by ffmpeg and by cameras' writers, damaged
// the way cards and disks damage them.
#include <cmath>

#include "repair/RepairFixture.h"

namespace vexmend::test {
namespace {

enum class Damage {
    HeaderAndFooter,
    FirstFrame,
    FirstMiB,
    ByteErrors,
    SoundAndPictures,
    Cut,
    Keys
};

struct Recording {
    const char* name = "";
    // Shell command writing the healthy file to $out, else MakeMxf(recipe).
    const char* make = nullptr;
    MediaRecipe recipe = {};
    Damage damage = Damage::HeaderAndFooter;
    double rate = 25;
    int tracks = 1;          // audio tracks of the result, track i a tone of 440 + 110 i Hz,
    const char* track = "";  // each one described so
    MediaRecipe sample = MediaRecipe{0};  // frames 0: the healthy file is the sample
    const char* warning = nullptr;        // the record on sound left out
    const char* timecode = "00:00:";      // hours and minutes of the file's first package
    bool dropFrame = false;               // the timecode drops frame numbers
    int repeated = 0;                     // pictures repeated for sound whose picture was lost
    int dropped = 0;                      // pictures at the end not to be shown in their place
};

void PrintTo(const Recording& recording, std::ostream* out) { *out << recording.name; }

// Header and footer: zeros before the first element (header partition and
// metadata) and from the footer partition on, so that ffmpeg no longer reads
// the file as MXF; with more than two tracks, the third track's element of the
// fifth frame loses its key too. Sound and pictures: the header as before,
// the first track's elements of packages 0, 1, 4 and 5 lose their keys, and
// the pictures of packages 20 to 22 their keys and first bytes. Cut: the file ends in the
// middle of the picture two thirds of the way through. Keys: the keys of
// pictures 5, 9 and 13 and of the first track's elements of packages 7, 11
// and 15 destroyed, their lengths and values intact.
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
    if (damage == Damage::FirstMiB) std::fill_n(bytes.begin(), 1 << 20, 0);
    for (int n : {5, 9, 13}) {
        if (damage == Damage::Keys) std::fill_n(bytes.begin() + nth(0, n).key, 16, 0);
        if (damage == Damage::Keys)
            std::fill_n(bytes.begin() + nth(1, (n + 2) * tracks).key, 16, 0);
    }
    if (damage == Damage::Cut) {
        const int pictures = static_cast<int>(
            std::count_if(elements.begin(), elements.end(), [](auto& e) { return e.kind == 0; }));
        const ReferenceElement cut = nth(0, pictures * 2 / 3);
        bytes.resize(cut.offset + cut.size / 2);
    }
    for (int n : {0, 1, 4, 5, 20, 21, 22}) {
        if (damage == Damage::SoundAndPictures)
            std::fill_n(bytes.begin() + nth(n < 20, n * (n < 20 ? tracks : 1)).key, n < 20 ? 1 : 64,
                        0);
    }
    for (uint64_t at = elements[0].key + 5000; damage == Damage::ByteErrors && at < bytes.size();
         at += 10000) {
        bytes[at] ^= 1 << (at % 8);  // a flipped bit in every 10,000 essence bytes
    }
    if (damage == Damage::SoundAndPictures) std::fill_n(bytes.begin(), elements[0].key, 0);
    if (damage != Damage::HeaderAndFooter) return;
    if (tracks > 2) bytes[nth(1, 4 * tracks + 2).key] = 0;
    std::fill(std::find_end(bytes.begin() + elements[0].key, bytes.end(), footer, footer + 14),
              bytes.end(), 0);
    std::fill_n(bytes.begin(), elements[0].key, 0);
}

// What ffprobe prints for `entries` of a file, a value a line.
std::vector<std::string> ProbeEntries(const std::string& path, const std::string& entries)
{
    std::string out;
    RunShell("ffprobe -v quiet -show_entries " + entries + " -of csv=p=0 " + Quote(path), &out);
    std::vector<std::string> values;
    for (const std::string& line : Lines(out)) {
        if (!line.empty()) values.push_back(line.substr(0, line.find(',')));
    }
    return values;
}

// The checksum of each packet of a file's stream `stream` ("v", "a:0"), in
// stored order.
std::vector<std::string> PacketHashes(const std::string& path, const std::string& stream)
{
    std::string out;
    RunShell("ffmpeg -nostdin -v quiet -i " + Quote(path) + " -map 0:" + stream +
                 " -c copy -f framemd5 -",
             &out);
    std::vector<std::string> hashes;
    for (const std::string& line : Lines(out)) {
        if (!line.empty() && line[0] != '#') hashes.push_back(line.substr(line.rfind(',') + 1));
    }
    return hashes;
}

// Track 1 of `result` against that of `healthy` `shift` frames later, over
// the eight frames before the last of the result's `frames`.
double Correlation(const std::string& result, const std::string& healthy, int64_t frames,
                   int64_t shift, double rate)
{
    const std::vector<int16_t> a = DecodeSound(result, 0), b = DecodeSound(healthy, 0);
    const auto at = [rate](int64_t frame) { return static_cast<size_t>(frame * 48000 / rate); };
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = at(frames - 9), j = at(frames - 9 + shift); i < at(frames - 1); ++i, ++j) {
        const double x = i < a.size() ? a[i] : 0, y = j < b.size() ? b[j] : 0;
        ab += x * y, aa += x * x, bb += y * y;
    }
    return ab / std::sqrt(aa * bb + 1);
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
    if (c.make == nullptr) MakeMxf(healthy, c.recipe);
    ASSERT_EQ(c.make ? RunShell("out=" + Quote(healthy) + "; " + c.make) : 0, 0);
    if (sample != healthy) MakeMxf(sample, c.sample);
    std::vector<uint8_t> bytes = ReadBytes(healthy);
    Apply(c.damage, bytes, c.recipe.audioStreams);
    WriteBytes(damaged, bytes);
    // The whole pictures found, and the recording's pictures, by offset (no
    // damage moves a byte).
    auto pictures = [](const std::vector<uint8_t>& file) {
        std::vector<uint64_t> at;
        for (const ReferenceElement& e : ReferenceWalk(file)) {
            if (e.kind == 0 && e.offset + e.size <= file.size()) at.push_back(e.offset);
        }
        return at;
    };
    const std::vector<uint64_t> recorded = pictures(ReadBytes(healthy));
    // Pictures whose keys were destroyed are found by their headers.
    const std::vector<uint64_t> found = c.damage == Damage::Keys ? recorded : pictures(bytes);
    const int64_t frames = static_cast<int64_t>(found.size());
    auto place = [&recorded](uint64_t offset) {
        return std::find(recorded.begin(), recorded.end(), offset) - recorded.begin();
    };
    const int64_t lost = frames > 0 ? place(found[0]) : 0;  // packages lost before the first
    ASSERT_GE(frames, 20);
    const auto before = HashTree(media.Path());

    ASSERT_EQ(QorMxfAdvanceRepair(damaged.c_str(), sample.c_str(), output.c_str()), VEXMEND_OK);
    ProbeResult probe = Probe(output);
    const int64_t shown = frames + c.repeated - c.dropped;
    EXPECT_NEAR(probe.videoPackets, shown, c.damage == Damage::ByteErrors ? frames / 20 : 1);
    // Every frame decodes: the result starts at a key frame.
    EXPECT_NEAR(probe.videoFrames, shown, c.damage == Damage::ByteErrors ? frames / 20 : 1);
    EXPECT_NEAR(probe.frameRate, c.rate, 0.01);
    EXPECT_NEAR(probe.duration, shown / c.rate, 1.5 / c.rate);
    // The recording's own timecode, counted on by the packages lost before the result's first.
    const int perSecond = static_cast<int>(std::lround(c.rate));
    char timecode[16];
    std::snprintf(timecode, sizeof timecode, "%s%02d%c%02d", c.timecode,
                  static_cast<int>(lost) / perSecond, c.dropFrame ? ';' : ':',
                  static_cast<int>(lost) % perSecond);
    EXPECT_EQ(ProbeEntries(output, "format_tags=timecode"), std::vector<std::string>{timecode});
    // Any point can be sought, and the index leads there without complaint.
    std::string warnings;
    RunShell("ffprobe -v warning " + Quote(output), &warnings);
    EXPECT_EQ(warnings.find("out of bounds"), warnings.npos) << warnings;
    for (double part : {0.25, 0.5, 0.75}) {
        std::string seek;
        RunShell("ffmpeg -nostdin -v warning -ss " + std::to_string(part * probe.duration) +
                     " -i " + Quote(output) + " -frames:v 1 -f framemd5 -",
                 &seek);
        EXPECT_TRUE(seek.find("\n0,") != std::string::npos && seek.find("offset") == seek.npos &&
                    seek.find("last packet") == seek.npos)
            << seek;
    }
    // Sound in step: every track lasts as long as the video, and near the
    // end track 1 plays what the healthy file played with the pictures there.
    for (const std::string& duration : ProbeEntries(output, "stream=duration"))
        EXPECT_NEAR(std::atof(duration.c_str()), probe.duration, 1 / c.rate);
    if (c.tracks > 0) {
        // The result's last picture is the last found one that it shows.
        const int64_t last = place(found[static_cast<size_t>(frames - c.dropped - 1)]);
        EXPECT_GT(
            Correlation(output, healthy, probe.videoPackets, last + 1 - probe.videoPackets, c.rate),
            0.9);
    }
    EXPECT_EQ(probe.audio, std::vector<std::string>(c.tracks, c.track));
    for (int i = 0; i < c.tracks; ++i) EXPECT_NEAR(ToneFrequency(output, i), 440 + 110 * i, 20);
    EXPECT_TRUE(c.warning ? Logged(c.warning) : !Logged(" left out"));
    // Elements whose keys were destroyed are found with their own bytes.
    for (const char* stream : {"v", "a:0"}) {
        if (c.damage != Damage::Keys) break;
        std::vector<std::string> original = PacketHashes(healthy, stream);
        original.resize(static_cast<size_t>(shown));
        EXPECT_EQ(PacketHashes(output, stream), original) << stream;
    }
    EXPECT_EQ(HashTree(media.Path()), before);
    EXPECT_TRUE(HashTree(work / "work/AdvanceRepairedVideo").empty());
    EXPECT_TRUE(Logged(") [AdvanceRepair] start advanced repair  " + damaged + "\n"));
}

const Damage kHeader = Damage::HeaderAndFooter, kFirstFrame = Damage::FirstFrame;
const Damage kFirstMiB = Damage::FirstMiB, kSoundAndPictures = Damage::SoundAndPictures;
// The first package's sound is left out when its picture is gone.
const char* const kFirstSound = " sound elements left out";
const MediaRecipe kStereoS16{};
const char* const kUndescribed = "[MXF] sound elements of a track the sample does not describe";
const std::string kFfmpeg = "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=";
const std::string kSine = " -f lavfi -i sine=sample_rate=48000 -timecode 10:00:00:00 -shortest ";
const std::string kMpegHd = kFfmpeg + "1920x1080:rate=25" + kSine +
                            "-frames:v 36 -c:v mpeg2video -b:v 50M -minrate 50M -maxrate 50M "
                            "-bufsize 17M -g 12 -bf 2 -pix_fmt yuv422p -flags +ildct+ilme -c:a "
                            "pcm_s24le -ac 1 -f mxf \"$out\"";
const std::string kD10 = kFfmpeg + "720x608:rate=25" + kSine +
                         "-frames:v 100 -c:v mpeg2video -pix_fmt yuv422p -g 0 -flags "
                         "+ildct+low_delay -dc 10 -intra_vlc 1 -non_linear_quant 1 -ps 1 -qmin 1 "
                         "-qmax 3 -top 1 -bufsize 2000000 -rc_init_occupancy 2000000 -minrate 50M "
                         "-maxrate 50M -b:v 50M -c:a pcm_s16le -ac 4 -f mxf_d10 \"$out\"";
const std::string kH264 = kFfmpeg + "640x360:rate=25" + kSine +
                          "-frames:v 120 -c:v libx264 -b:v 8M -minrate 8M -maxrate 8M -bufsize 4M "
                          "-x264-params keyint=50:scenecut=0:nal-hrd=cbr -pix_fmt yuv420p -c:a "
                          "pcm_s16le -f mxf \"$out\"";
const std::string kDv = kFfmpeg + "720x576:rate=25" + kSine +
                        "-frames:v 50 -c:v dvvideo -pix_fmt yuv420p -c:a pcm_s16le -f mxf \"$out\"";
// 720p long-GOP MPEG-2 of about 200 kB a picture: the first MiB holds the
// first 7 pictures, the last of them the second of a frame pair.
std::string Mpeg720p(const std::string& rate, const std::string& bits, const std::string& timecode)
{
    return kFfmpeg + "1280x720:rate=" + rate +
           " -f lavfi -i sine=sample_rate=48000 -shortest -timecode " + timecode +
           " -frames:v 40 -c:v mpeg2video -b:v " + bits + " -minrate " + bits + " -maxrate " +
           bits + " -bufsize 8M -g 10 -bf 2 -c:a pcm_s16le -f mxf \"$out\"";
}
const std::string kMpeg720p50 = Mpeg720p("50", "80M", "10:00:00:00");
const std::string kMpeg720p5994 = Mpeg720p("60000/1001", "100M", "'10:00:00;00'");
const std::string kGstreamer =
    "gst-launch-1.0 -q videotestsrc num-buffers=40 ! "
    "video/x-raw,width=720,height=576,framerate=25/1 "
    "! mpeg2enc format=3 ! mxfmux name=m ! filesink location=\"$out\" audiotestsrc num-buffers=80 "
    "samplesperbuffer=960 ! audio/x-raw,format=S16LE,rate=48000,channels=2 ! m.";
const std::string kDnxhd = kFfmpeg + "1920x1080:rate=25" + kSine +
                           "-frames:v 40 -c:v dnxhd -b:v 36M -pix_fmt yuv422p -c:a pcm_s16le -f "
                           "mxf \"$out\"";
const char* const kTen = "10:00:";

INSTANTIATE_TEST_SUITE_P(
    Recordings, AdvanceRepair,
    ::testing::Values(
        Recording{.name = "s24le_stereo_2997",
                  .recipe = {60, "30000/1001", "pcm_s24le", 2, 1},
                  .damage = kHeader,
                  .rate = 29.97,
                  .tracks = 1,
                  .track = "pcm_s24le,48000,2"},
        Recording{.name = "s24le_eight_mono_one_sound_element_lost",
                  .recipe = {50, "25", "pcm_s24le", 1, 8},
                  .damage = kHeader,
                  .rate = 25,
                  .tracks = 8,
                  .track = "pcm_s24le,48000,1"},
        Recording{.name = "stereo_s16le_sample_for_mono_s24le",
                  .recipe = {50, "25", "pcm_s24le", 1, 1},
                  .damage = kHeader,
                  .rate = 25,
                  .tracks = 0,
                  .track = "",
                  .sample = kStereoS16,
                  .warning = "[MXF] audio track left out, its sound elements do not fit the "
                             "sample: track 1"},
        Recording{.name = "video_only_sample",
                  .recipe = kStereoS16,
                  .damage = kHeader,
                  .rate = 25,
                  .tracks = 0,
                  .track = "",
                  .sample = {50, "25", "pcm_s16le", 2, 0},
                  .warning = kUndescribed},
        Recording{.name = "mpeg2_hd_422_50mbit_first_mib_lost",
                  .make = kMpegHd.c_str(),
                  .damage = kFirstMiB,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s24le,48000,1",
                  .warning = kFirstSound,
                  .timecode = kTen,
                  .dropped = 1},
        Recording{.name = "mpeg2_hd_422_50mbit_sound_and_pictures_lost",
                  .make = kMpegHd.c_str(),
                  .damage = kSoundAndPictures,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s24le,48000,1",
                  .warning = "0 pictures repeated, 13 sound elements left out",
                  .timecode = kTen,
                  .dropped = 10},
        Recording{.name = "gstreamer_mpeg2_one_sequence_header",
                  .make = kGstreamer.c_str(),
                  .damage = kFirstFrame,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s16le,48000,2",
                  .warning = kFirstSound},
        Recording{.name = "h264_gop50_first_mib_lost",
                  .make = kH264.c_str(),
                  .damage = kFirstMiB,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s16le,48000,1",
                  .warning = kFirstSound,
                  .timecode = kTen},
        Recording{.name = "d10_imx50_aes3_sound_byte_errors",
                  .make = kD10.c_str(),
                  .damage = Damage::ByteErrors,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s16le,48000,4",
                  .timecode = kTen},
        Recording{.name = "d10_imx50_sound_and_pictures_lost",
                  .make = kD10.c_str(),
                  .damage = kSoundAndPictures,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s16le,48000,4",
                  .warning = "3 pictures repeated, 0 sound elements left out",
                  .timecode = kTen,
                  .repeated = 3},
        Recording{.name = "mpeg2_720p50_first_mib_lost",
                  .make = kMpeg720p50.c_str(),
                  .damage = kFirstMiB,
                  .rate = 50,
                  .tracks = 1,
                  .track = "pcm_s16le,48000,1",
                  .warning = kFirstSound,
                  .timecode = kTen},
        Recording{.name = "mpeg2_720p5994_drop_frame_first_mib_lost",
                  .make = kMpeg720p5994.c_str(),
                  .damage = kFirstMiB,
                  .rate = 60000.0 / 1001,
                  .tracks = 1,
                  .track = "pcm_s16le,48000,1",
                  .warning = kFirstSound,
                  .timecode = kTen,
                  .dropFrame = true,
                  .dropped = 1},
        Recording{.name = "dv_header_lost",
                  .make = kDv.c_str(),
                  .damage = kHeader,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s16le,48000,1",
                  .timecode = kTen},
        Recording{.name = "mpeg2_hd_422_50mbit_keys",
                  .make = kMpegHd.c_str(),
                  .damage = Damage::Keys,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s24le,48000,1",
                  .warning = kFirstSound,
                  .timecode = kTen,
                  .dropped = 1},
        Recording{.name = "d10_imx50_keys",
                  .make = kD10.c_str(),
                  .damage = Damage::Keys,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s16le,48000,4",
                  .timecode = kTen},
        Recording{.name = "dnxhd_keys",
                  .make = kDnxhd.c_str(),
                  .damage = Damage::Keys,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s16le,48000,1",
                  .timecode = kTen},
        Recording{.name = "dv_keys",
                  .make = kDv.c_str(),
                  .damage = Damage::Keys,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s16le,48000,1",
                  .timecode = kTen},
        Recording{.name = "h264_gop50_keys",
                  .make = kH264.c_str(),
                  .damage = Damage::Keys,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s16le,48000,1",
                  .timecode = kTen},
        Recording{.name = "mpeg2_hd_422_50mbit_cut",
                  .make = kMpegHd.c_str(),
                  .damage = Damage::Cut,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s24le,48000,1",
                  .warning = "0 pictures repeated, 2 sound elements left out",
                  .timecode = kTen,
                  .dropped = 2},
        Recording{.name = "d10_imx50_cut",
                  .make = kD10.c_str(),
                  .damage = Damage::Cut,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s16le,48000,4",
                  .timecode = kTen},
        Recording{.name = "dnxhd_cut",
                  .make = kDnxhd.c_str(),
                  .damage = Damage::Cut,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s16le,48000,1",
                  .timecode = kTen},
        Recording{.name = "dv_cut",
                  .make = kDv.c_str(),
                  .damage = Damage::Cut,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s16le,48000,1",
                  .timecode = kTen},
        Recording{.name = "h264_gop50_cut",
                  .make = kH264.c_str(),
                  .damage = Damage::Cut,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s16le,48000,1",
                  .timecode = kTen}),
    [](const ::testing::TestParamInfo<Recording>& info) { return std::string(info.param.name); });

// OP-Atom files of one track each, their essence clip-wrapped: one element
// that holds the whole clip. The result is OP-Atom again and holds at least
// 85 % of what the damage left (a long-GOP clip cut short also loses the
// pictures shown after ones lost with it), and no more: DNxHD frames,
// long-GOP MPEG-2 frames (taken apart where the stream's frames begin) or
// the tone.
TEST_F(AdvanceRepair, OpAtomClipsOfOneTrack)
{
    const std::string dnxhd = kFfmpeg + "1920x1080:rate=25 -frames:v 30 -c:v dnxhd -b:v 36M " +
                              "-pix_fmt yuv422p -f mxf_opatom ";
    const std::string mpeg2 = kFfmpeg + "720x576:rate=25 -frames:v 30 -c:v mpeg2video -b:v 8M " +
                              "-minrate 8M -maxrate 8M -bufsize 2M -g 12 -bf 2 -f mxf_opatom ";
    const std::string sound =
        "ffmpeg -nostdin -v error -f lavfi -i sine=sample_rate=48000 -t 10 "
        "-c:a pcm_s24le -ac 1 -f mxf_opatom ";
    const struct {
        const std::string& make;
        int damage;  // 0: header partition zeroed, 1: cut at 60 %, 2: first MiB lost
    } cases[] = {{dnxhd, 0}, {dnxhd, 1}, {dnxhd, 2}, {mpeg2, 0},
                 {mpeg2, 1}, {sound, 0}, {sound, 1}, {sound, 2}};
    for (const auto& c : cases) {
        const bool isSound = &c.make == &sound;
        SCOPED_TRACE(std::to_string(&c - cases) + ", damage " + std::to_string(c.damage));
        const std::string healthy = media / std::to_string(c.make.size()) + ".mxf";
        const std::string damaged = media / "damaged.mxf", output = work / "repaired.mxf";
        ASSERT_EQ(Exists(healthy) ? 0 : RunShell(c.make + Quote(healthy)), 0);
        std::vector<uint8_t> bytes = ReadBytes(healthy);
        const ReferenceElement clip = ReferenceWalk(bytes)[0];
        const uint64_t zeroed = c.damage == 0 ? clip.key : c.damage == 2 ? 1 << 20 : 0;
        std::fill_n(bytes.begin(), zeroed, 0);
        if (c.damage == 1) bytes.resize(bytes.size() * 6 / 10);
        WriteBytes(damaged, bytes);
        // What the damage left: the healthy file's frames whose bytes are
        // all still there, or the seconds of sound still there.
        double left = 0;
        std::string packets;
        RunShell("ffprobe -v quiet -select_streams v -show_entries packet=size,pos -of csv=p=0 " +
                     Quote(healthy),
                 &packets);
        for (const std::string& line : Lines(packets)) {
            const uint64_t size = std::stoull(line),
                           at = std::stoull(line.substr(line.find(',') + 1));
            left += at >= zeroed && at + size <= bytes.size();
        }
        const uint64_t end = std::min<uint64_t>(clip.offset + clip.size, bytes.size());
        if (isSound) left = (end - std::max<uint64_t>(clip.offset, zeroed)) / 144000.0;

        ASSERT_EQ(RunRepair(damaged, healthy, output), VEXMEND_OK);
        EXPECT_EQ(ProbeEntries(output, "format_tags=operational_pattern_ul")[0].substr(18, 8),
                  "0d010201");  // OP-Atom
        const ProbeResult probe = Probe(output);
        EXPECT_GE(isSound ? probe.duration : probe.videoFrames, 0.85 * left);
        EXPECT_LE(probe.videoFrames, left);  // no frame that is not whole
        EXPECT_EQ(probe.videoFrames, probe.videoPackets);
        EXPECT_NEAR(isSound ? ToneFrequency(output, 0) : 440, 440, 20);
    }
}

}  // namespace
}  // namespace vexmend::test
