#include "MediaProbe.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "FileIdentity.h"
#include "MxfAdvanceRepair/sample/SampleReport.h"
#include "StopSignal.h"
#include "platform/ChildProcess.h"

namespace {

double Seconds(const std::string& clock)
{
    int hours = 0, minutes = 0;
    double seconds = 0;
    if (std::sscanf(clock.c_str(), "%d:%d:%lf", &hours, &minutes, &seconds) != 3) return 0;
    return hours * 3600.0 + minutes * 60.0 + seconds;
}

// The comma-separated fields after "Audio: ", without the
// parenthesised parts' commas splitting them.
std::vector<std::string> Fields(const std::string& text)
{
    std::vector<std::string> fields(1);
    int depth = 0;
    for (char c : text) {
        if (c == '(' || c == '[') ++depth;
        if (c == ')' || c == ']') --depth;
        if (c == ',' && depth == 0) {
            fields.emplace_back();
        } else if (!(fields.back().empty() && c == ' ')) {
            fields.back() += c;
        }
    }
    return fields;
}

// The codec and sample format texts of an audio stream line; its rate and
// channels come from the library's reading of the same line.
void ReadAudioLine(const std::string& line, MediaInfo& info)
{
    if (size_t at = line.find("Audio: "); at != std::string::npos) {
        std::vector<std::string> fields = Fields(line.substr(at + 7));
        AudioTrackInfo track;
        track.codec = fields[0].substr(0, fields[0].find(' '));
        if (fields.size() > 3) track.sampleFormat = fields[3];
        info.audio.push_back(track);
    }
}

}  // namespace

bool MediaInfo::ReadWhole() const
{
    const double frame = frameRate > 0 ? 1.0 / frameRate : 0.05;
    // The pictures as many as the stated duration holds, one short at most.
    return read && duration > 0 && readSeconds + 1.5 * frame >= duration &&
           (HasVideo() ? frames > 0 && (frames + 1.5) * frame >= duration : !audio.empty());
}

MediaInfo ParseMediaReport(const std::string& report, const std::string& name)
{
    MediaInfo info;
    vexmend::SampleReportParser streams;
    bool input = true;  // the input's description comes before "Output #0"
    std::istringstream lines(report);
    std::string line;
    while (std::getline(lines, line, '\n')) {
        // Progress lines are separated by carriage returns.
        std::istringstream parts(line);
        std::string part;
        while (std::getline(parts, part, '\r')) {
            for (size_t at; !name.empty() && (at = part.find(name)) != std::string::npos;) {
                part.erase(at, name.size());
            }
            if (part.rfind("Output #", 0) == 0 || part.rfind("Stream mapping", 0) == 0) {
                input = false;
            }
            if (size_t at = part.find("Duration: "); input && at != std::string::npos) {
                info.duration = Seconds(part.substr(at + 10));
            } else if (input && part.find("Stream #") != std::string::npos) {
                streams.Feed(part);
                ReadAudioLine(part, info);
            } else if (size_t at = part.find("timecode");
                       input && at != std::string::npos && info.timecode.empty()) {
                if (size_t colon = part.find(": ", at); colon != std::string::npos) {
                    info.timecode = part.substr(colon + 2);
                }
            }
            if (size_t at = part.find("frame="); at != std::string::npos) {
                info.frames = std::atoll(part.c_str() + at + 6);
            }
            if (size_t at = part.find("time="); at != std::string::npos) {
                info.readSeconds = Seconds(part.substr(at + 5));
            }
        }
    }
    info.videoCodec = streams.VideoCodec();
    info.width = streams.Width();
    info.height = streams.Height();
    info.frameRate = info.HasVideo() ? streams.FrameRate() : 0;
    for (size_t t = 0; t < info.audio.size() && t < streams.AudioStreams().size(); ++t) {
        info.audio[t].sampleRate = streams.AudioStreams()[t].sampleRate;
        info.audio[t].channels = streams.AudioStreams()[t].channels;
    }
    return info;
}

EncoderOutput RunEncoder(const std::string& encoder, const std::vector<std::string>& arguments)
{
    vexmend::platform::ChildProcess child(encoder, arguments, true);
    EncoderOutput output;
    char buffer[4096];
    // An encoder silent for ten minutes is taken for hung.
    constexpr int kStepMilliseconds = 100, kSilentSteps = 6000;
    bool ended = false;
    for (int silent = 0; !ended && silent < kSilentSteps;) {
        const int64_t got = child.ReadError(buffer, sizeof buffer, kStepMilliseconds);
        ThrowIfStopped();  // the child's destructor ends the encoder
        ended = got == 0;
        silent = got < 0 ? silent + 1 : 0;
        if (got > 0) output.report.append(buffer, static_cast<size_t>(got));
    }
    if (!ended) child.Kill();
    output.status = child.Wait();
    return output;
}

MediaInfo ProbeMedia(const std::string& encoder, const std::string& path)
{
    const std::string input = vexmend::EncoderFileName(path);
    const EncoderOutput output = RunEncoder(
        encoder, {"-hide_banner", "-nostdin", "-f", "mxf", "-i", input, "-map", "0:v?", "-map",
                  "0:a?", "-c", "copy", "-f", "null", "-"});
    MediaInfo info = ParseMediaReport(output.report, input);
    info.read = output.status == 0;
    return info;
}
