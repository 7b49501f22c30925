#include "repair/Recordings.h"

#include <tuple>

namespace vexmend::test {

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
const std::string kProRes = kFfmpeg + "640x360:rate=25" + kSine +
                            "-frames:v 64 -c:v prores_aw -profile:v 3 -pix_fmt yuv422p10le -c:a "
                            "pcm_s16le -f mxf \"$out\"";
const std::string kJpeg2000 = kFfmpeg + "640x360:rate=25" + kSine +
                              "-frames:v 36 -c:v jpeg2000 -pix_fmt yuv422p10le -c:a pcm_s16le -f "
                              "mxf \"$out\"";
const std::string kAvcIntra = kFfmpeg + "1920x1080:rate=25" + kSine +
                              "-frames:v 36 -c:v libx264 -x264-params avcintra-class=100 -pix_fmt "
                              "yuv422p10le -c:a pcm_s16le -f mxf \"$out\"";
const char* const kTen = "10:00:";

// The cameras of frame-wrapped recordings that every damage of a card or a
// disk is tried on; the pictures that cannot be shown at their end, where
// the file is cut and where ffmpeg's last group of pictures ends; and
// whether the first MiB lost leaves a sound element without its picture.
struct Camera {
    const char* name;
    const std::string& make;
    const char* track;
    int cutDropped, endDropped;
    bool firstSoundLost = true;
    int leftAfterZeros = 0;  // pictures after the zeros that cannot be decoded
};
const Camera kCameras[] = {
    {"mpeg2_hd_422_50mbit", kMpegHd, "pcm_s24le,48000,1", 2, 1, true, 10},
    {"d10_imx50", kD10, "pcm_s16le,48000,4", 0, 0},
    {"dnxhd", kDnxhd, "pcm_s16le,48000,1", 0, 0},
    {"dv", kDv, "pcm_s16le,48000,1", 0, 0, false},
    {"h264_gop50", kH264, "pcm_s16le,48000,1", 0, 0},
    {"prores_422_hq", kProRes, "pcm_s16le,48000,1", 0, 0},
    {"jpeg2000", kJpeg2000, "pcm_s16le,48000,1", 0, 0},
    {"avc_intra_100", kAvcIntra, "pcm_s16le,48000,1", 0, 0},
};

std::vector<Recording> Recordings()
{
    std::vector<Recording> rows{
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
        Recording{.name = "prores_422_hq_header_lost",
                  .make = kProRes.c_str(),
                  .damage = kHeader,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s16le,48000,1",
                  .timecode = kTen},
        Recording{.name = "jpeg2000_header_lost",
                  .make = kJpeg2000.c_str(),
                  .damage = kHeader,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s16le,48000,1",
                  .timecode = kTen},
        Recording{.name = "avc_intra_100_header_lost",
                  .make = kAvcIntra.c_str(),
                  .damage = kHeader,
                  .rate = 25,
                  .tracks = 1,
                  .track = "pcm_s16le,48000,1",
                  .timecode = kTen}};
    // Every camera's recording cut in the middle of a picture, with keys
    // destroyed, with its first MiB lost, and with zeros over two pictures a
    // third in: what is dropped at the end goes with its sound, as does the
    // sound of the first picture lost and of long-GOP pictures after the
    // zeros up to the next key frame.
    for (const Camera& camera : kCameras) {
        for (const auto& [damage, suffix, dropped] :
             {std::tuple{Damage::Cut, "_cut", camera.cutDropped},
              std::tuple{Damage::Keys, "_keys", camera.endDropped},
              std::tuple{Damage::FirstMiB, "_first_mib_lost", camera.endDropped},
              std::tuple{Damage::ZerosInside, "_zeros_inside", camera.endDropped}}) {
            const int left = damage == Damage::ZerosInside ? camera.leftAfterZeros : 0;
            rows.push_back(
                Recording{.name = camera.name + std::string(suffix),
                          .make = camera.make.c_str(),
                          .damage = damage,
                          .tracks = 1,
                          .track = camera.track,
                          .warning = dropped > 0 || left > 0 ||
                                             (damage == Damage::FirstMiB && camera.firstSoundLost)
                                         ? kFirstSound
                                         : nullptr,
                          .timecode = kTen,
                          .dropped = dropped,
                          .leftInside = left});
        }
    }
    return rows;
}

}  // namespace vexmend::test
