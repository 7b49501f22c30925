// The advance repair on files made by ffmpeg and by cameras' writers, damaged
// the way cards and disks damage them.
#include <cmath>

#include "repair/RepairFixture.h"
#include "repair/Recordings.h"

namespace vexmend::test {
namespace {

// Header and footer: zeros before the first element (header partition and
// metadata) and from the footer partition on, so that ffmpeg no longer reads
// the file as MXF; with more than two tracks, the third track's element of the
// fifth frame loses its key too. Sound and pictures: the header as before,
// the first track's elements of packages 0, 1, 4 and 5 lose their keys, and
// the pictures of packages 20 to 22 their keys and first bytes. Cut: the file ends in the
// middle of the picture two thirds of the way through. Keys: the keys of
// pictures 5, 9 and 13 (its length too) and of the first track's elements
// of packages 7, 11 and 15 destroyed, their values intact.
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
        if (damage == Damage::Keys) {
            const ReferenceElement picture = nth(0, n);  // the last loses its length too
            std::fill_n(bytes.begin() + picture.key, n < 13 ? 16 : picture.offset - picture.key, 0);
        }
        if (damage == Damage::Keys)
            std::fill_n(bytes.begin() + nth(1, (n + 2) * tracks).key, 16, 0);
    }
    const int pictures = static_cast<int>(
        std::count_if(elements.begin(), elements.end(), [](auto& e) { return e.kind == 0; }));
    if (damage == Damage::Cut) {
        const ReferenceElement cut = nth(0, pictures * 2 / 3);
        bytes.resize(cut.offset + cut.size / 2);
    }
    if (damage == Damage::ZerosInside) {
        const ReferenceElement from = nth(0, pictures / 3), to = nth(0, pictures / 3 + 2);
        std::fill(bytes.begin() + from.key, bytes.begin() + to.key, 0);
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
    const int64_t shown = frames + c.repeated - c.dropped - c.leftInside;
    EXPECT_NEAR(probe.videoPackets, shown, c.damage == Damage::ByteErrors ? frames / 20 : 1);
    // Every frame decodes: the result starts at a key frame.
    EXPECT_NEAR(probe.videoFrames, shown, c.damage == Damage::ByteErrors ? frames / 20 : 1);
    EXPECT_NEAR(probe.frameRate, c.rate, 0.01);
    EXPECT_NEAR(probe.duration, shown / c.rate, 1.5 / c.rate);
    // The pictures' profile as the healthy file names it (ProRes: by the sample's code).
    const std::string profile = "stream=profile -select_streams v";
    EXPECT_EQ(ProbeEntries(output, profile), ProbeEntries(healthy, profile));
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

INSTANTIATE_TEST_SUITE_P(Recordings, AdvanceRepair, ::testing::ValuesIn(Recordings()),
                         [](const ::testing::TestParamInfo<Recording>& info) {
                             return info.param.name;
                         });

// OP-Atom files of one track each, their essence clip-wrapped: one element
// that holds the whole clip. The result is OP-Atom again and holds at least
// 85 % of what the damage left (a long-GOP clip cut short also loses the
// pictures shown after ones lost with it), and no more: DNxHD frames,
// long-GOP MPEG-2, ProRes and JPEG 2000 frames (taken apart where the
// stream's frames begin) or the tone.
TEST_F(AdvanceRepair, OpAtomClipsOfOneTrack)
{
    const std::string dnxhd = kFfmpeg + "1920x1080:rate=25 -frames:v 30 -c:v dnxhd -b:v 36M " +
                              "-pix_fmt yuv422p -f mxf_opatom ";
    const std::string mpeg2 = kFfmpeg + "720x576:rate=25 -frames:v 30 -c:v mpeg2video -b:v 8M " +
                              "-minrate 8M -maxrate 8M -bufsize 2M -g 12 -bf 2 -f mxf_opatom ";
    const std::string prores = kFfmpeg + "640x360:rate=25 -frames:v 30 -c:v prores_aw " +
                               "-profile:v 3 -pix_fmt yuv422p10le -f mxf_opatom ";
    const std::string jpeg2000 = kFfmpeg + "640x360:rate=25 -frames:v 10 -c:v jpeg2000 " +
                                 "-pix_fmt yuv422p10le -f mxf_opatom ";
    const std::string sound =
        "ffmpeg -nostdin -v error -f lavfi -i sine=sample_rate=48000 -t 10 "
        "-c:a pcm_s24le -ac 1 -f mxf_opatom ";
    const struct {
        const std::string& make;
        int damage;  // 0: header partition zeroed, 1: cut at 60 %, 2: first MiB lost
    } cases[] = {{dnxhd, 0},  {dnxhd, 1},    {dnxhd, 2}, {mpeg2, 0}, {mpeg2, 1}, {prores, 0},
                 {prores, 1}, {jpeg2000, 1}, {sound, 0}, {sound, 1}, {sound, 2}};
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
