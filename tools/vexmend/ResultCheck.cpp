#include "ResultCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "FileIdentity.h"

namespace {

// Pictures at a long-GOP clip's end that a repair may leave out besides a
// cut last one: the B pictures whose later reference was lost.
constexpr int64_t kLongGopEnd = 2;

// The longest GOP of the cameras' long-GOP codecs: after a damaged stretch
// the pictures up to the next key picture cannot be shown and are left out.
// 0 for intra-only codecs.
int64_t LongestGop(const std::string& codec)
{
    if (codec == "mpeg2video" || codec == "mpeg1video") return 15;
    return codec == "h264" ? 60 : 0;
}

// The encoder's first complaint reading `input` with `arguments` before it,
// or empty.
std::string Complaint(const std::string& encoder, const std::string& input,
                      std::vector<std::string> arguments, const std::vector<std::string>& after)
{
    std::vector<std::string> command{"-hide_banner", "-nostdin", "-v", "error"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    command.insert(command.end(), {"-f", "mxf", "-i", input});
    command.insert(command.end(), after.begin(), after.end());
    const EncoderOutput output = RunEncoder(encoder, command);
    std::istringstream lines(output.report);
    std::string line;
    // The null output's own complaints (time stamps after a seek into a GOP)
    // say nothing of the file.
    while (std::getline(lines, line) && line.rfind("[null @", 0) == 0) {
    }
    if (!lines) line.clear();
    for (size_t at; (at = line.find(input)) != std::string::npos;) line.erase(at, input.size());
    if (line.empty() && output.status != 0) line = "exit status " + std::to_string(output.status);
    return line;
}

}  // namespace

int64_t Stated(const MediaInfo& media)
{
    return media.HasVideo() ? std::llround(media.duration * media.frameRate) : 0;
}

bool Healthy(const MediaInfo& media, const std::optional<vexmend::ScanSummary>& scan)
{
    return media.ReadWhole() && scan && scan->damaged.empty() &&
           (scan->pictures == 1 || static_cast<int64_t>(scan->pictures) >= Stated(media));
}

ResultNeeds NeedsOf(const MediaInfo& clip, const std::optional<vexmend::ScanSummary>& scan,
                    bool soundOnly)
{
    ResultNeeds needs;
    needs.soundOnly = soundOnly;
    needs.soundTracks = clip.audio.size();
    if (scan) {
        needs.soundTracks = std::max(needs.soundTracks, scan->soundTracks.size());
        const std::string codec = clip.HasVideo() ? clip.videoCodec : scan->codec;
        const int64_t gop = LongestGop(codec);
        const int64_t left = 1 + (gop > 0 ? kLongGopEnd : 0) +
                             gop * static_cast<int64_t>(scan->damaged.size());
        // A clip-wrapped file's one element holds all its pictures.
        if (scan->pictures > 1) needs.pictures = static_cast<int64_t>(scan->pictures) - left;
    }
    return needs;
}

std::string ResultShortfall(const std::string& encoder, const std::string& path,
                            const MediaInfo& media, const ResultNeeds& needs)
{
    if (!media.read) return "the encoder cannot read the result";
    if (needs.soundOnly ? media.readSeconds <= 0 : media.frames <= 0) {
        return "the result holds no pictures";
    }
    if (!needs.soundOnly && media.frames < needs.pictures) {
        return "the result holds " + std::to_string(media.frames) + " pictures of the " +
               std::to_string(needs.pictures) + " found";
    }
    if (media.audio.size() < needs.soundTracks) {
        return "the result holds " + std::to_string(media.audio.size()) + " sound tracks of " +
               std::to_string(needs.soundTracks);
    }
    const std::string input = vexmend::EncoderFileName(path);
    std::string complaint = Complaint(
        encoder, input, {}, {"-map", "0:v?", "-map", "0:a?", "-c", "copy", "-f", "null", "-"});
    if (complaint.empty()) {
        // From the middle on, a few pictures: the index must lead there. Stream
        // copy, as the encoder beside the program may have no decoders.
        char middle[32];
        std::snprintf(middle, sizeof middle, "%.3f", media.readSeconds / 2);
        complaint = Complaint(
            encoder, input, {"-ss", middle},
            {"-map", "0:v?", "-map", "0:a?", "-c", "copy", "-frames:v", "3", "-f", "null", "-"});
    }
    return complaint.empty() ? "" : "the encoder complains reading the result: " + complaint;
}
