#include "MediaProbe.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>

#include "platform/ChildProcess.h"

namespace {

double Seconds(const std::string& clock)
{
    int hours = 0, minutes = 0;
    double seconds = 0;
    if (std::sscanf(clock.c_str(), "%d:%d:%lf", &hours, &minutes, &seconds) != 3) return 0;
    return hours * 3600.0 + minutes * 60.0 + seconds;
}

int Channels(const std::string& layout)
{
    static const std::pair<const char*, int> kLayouts[] = {
        {"mono", 1}, {"stereo", 2}, {"2.1", 3}, {"quad", 4}, {"4.0", 4},
        {"5.0", 5},  {"5.1", 6},    {"6.1", 7}, {"7.1", 8},  {"octagonal", 8}};
    for (const auto& [name, count] : kLayouts) {
        if (layout.rfind(name, 0) == 0) return count;
    }
    return std::atoi(layout.c_str());  // "8 channels"
}

// The comma-separated fields after "Audio: " or "Video: ", without the
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

void ReadStreamLine(const std::string& line, MediaInfo& info)
{
    static const std::regex size(R"((\d{2,5})x(\d{2,5}))"), rate(R"(([\d.]+) (fps|tbr))"),
        hertz(R"((\d+) Hz)");
    std::smatch match;
    if (size_t at = line.find("Video: "); at != std::string::npos && info.videoCodec.empty()) {
        std::vector<std::string> fields = Fields(line.substr(at + 7));
        info.videoCodec = fields[0].substr(0, fields[0].find(' '));
        if (std::regex_search(line, match, size)) {
            info.width = std::stoi(match[1]);
            info.height = std::stoi(match[2]);
        }
        if (std::regex_search(line, match, rate)) info.frameRate = std::stod(match[1]);
    } else if (size_t at = line.find("Audio: "); at != std::string::npos) {
        std::vector<std::string> fields = Fields(line.substr(at + 7));
        AudioTrackInfo track;
        track.codec = fields[0].substr(0, fields[0].find(' '));
        if (std::regex_search(line, match, hertz)) track.sampleRate = std::stoi(match[1]);
        if (fields.size() > 2) track.channels = Channels(fields[2]);
        if (fields.size() > 3) track.sampleFormat = fields[3];
        info.audio.push_back(track);
    }
}

}  // namespace

bool MediaInfo::Healthy() const
{
    const double frame = frameRate > 0 ? 1.0 / frameRate : 0.05;
    return read && problems == 0 && duration > 0 && readSeconds + 1.5 * frame >= duration &&
           (HasVideo() ? frames > 0 : !audio.empty());
}

MediaInfo ParseMediaReport(const std::string& report, const std::string& name)
{
    MediaInfo info;
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
                ReadStreamLine(part, info);
            } else if (size_t at = part.find("timecode");
                       input && at != std::string::npos && info.timecode.empty()) {
                if (size_t colon = part.find(": ", at); colon != std::string::npos) {
                    info.timecode = part.substr(colon + 2);
                }
            }
            if (part.find("corrupt") != std::string::npos ||
                part.find("rror") != std::string::npos) {
                ++info.problems;
            }
            if (size_t at = part.find("frame="); at != std::string::npos) {
                info.frames = std::atoll(part.c_str() + at + 6);
            }
            if (size_t at = part.find("time="); at != std::string::npos) {
                info.readSeconds = Seconds(part.substr(at + 5));
            }
        }
    }
    return info;
}

MediaInfo ProbeMedia(const std::string& encoder, const std::string& path)
{
    const std::string input = "file:" +
                              std::filesystem::absolute(std::filesystem::u8path(path)).u8string();
    vexmend::platform::ChildProcess child(
        encoder,
        {"-hide_banner", "-nostdin", "-f", "mxf", "-i", input, "-map", "0:v?", "-map", "0:a?", "-c",
         "copy", "-f", "null", "-"},
        true);
    std::string report;
    char buffer[4096];
    for (int64_t got; (got = child.ReadError(buffer, sizeof buffer, 600000)) != 0;) {
        if (got < 0) {
            child.Kill();
            break;
        }
        report.append(buffer, static_cast<size_t>(got));
    }
    MediaInfo info = ParseMediaReport(report, input);
    info.read = child.Wait() == 0;
    return info;
}
