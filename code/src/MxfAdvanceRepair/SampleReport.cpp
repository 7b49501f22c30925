#include "MxfAdvanceRepair/SampleReport.h"

#include <stdexcept>

namespace vexmend {

std::vector<std::string> SplitString(const std::string& text, const std::string& delimiters)
{
    std::vector<std::string> pieces;
    if (delimiters.empty()) return pieces;
    std::string::size_type start = 0;
    std::string::size_type pos = text.find_first_of(delimiters, start);
    while (pos != std::string::npos) {
        if (pos != start) pieces.push_back(text.substr(start, pos - start));
        start = pos + 1;
        if (start >= text.size()) break;
        pos = text.find_first_of(delimiters, start);
    }
    if (start < text.size()) pieces.push_back(text.substr(start));
    return pieces;
}

std::string RemoveSpaces(std::string text)
{
    for (std::string::size_type at = text.find(' '); at != std::string::npos;
         at = text.find(' ', at)) {
        text.erase(at, 1);
    }
    return text;
}

SampleReportParser::LineResult SampleReportParser::Feed(const std::string& line)
{
    bool rateRead = ReadFrameRate(line);
    ReadAudioLine(line);
    ReadVideoCodec(line);
    return rateRead ? LineResult::Used : LineResult::BadFrameRate;
}

namespace {

enum class Figure { Absent, Number, NotANumber };

// The text between the last comma before `at` and `at`, read as a number.
Figure NumberBefore(const std::string& line, std::string::size_type at, double& value)
{
    std::string::size_type comma = line.rfind(',', at);
    if (comma == std::string::npos) return Figure::Absent;
    try {
        value = std::stod(line.substr(comma + 1, at - comma - 1));
    } catch (const std::logic_error&) {  // invalid_argument, out_of_range
        return Figure::NotANumber;
    }
    return Figure::Number;
}

}  // namespace

// "..., 25 fps, 25 tbr, ..." on a video stream line. Returns false when the
// text between the comma and "fps" holds no number; the rate is then unchanged.
bool SampleReportParser::ReadFrameRate(const std::string& line)
{
    if (line.find("Video:") == std::string::npos) return true;
    // Some writers' streams report no "fps" figure, only "tbr".
    if (std::string::size_type tbr = line.find(" tbr"); tbr != std::string::npos) {
        if (NumberBefore(line, tbr, tbrRate) == Figure::Number) tbrSeen = true;
    }
    std::string::size_type fps = line.find("fps");
    if (fps == std::string::npos) return true;
    Figure figure = NumberBefore(line, fps, frameRate);
    fpsSeen = fpsSeen || figure == Figure::Number;
    return figure != Figure::NotANumber;
}

// "Video: mpeg2video (4:2:2), ...": the word after "Video: " up to the first
// space or comma, from the first video line.
void SampleReportParser::ReadVideoCodec(const std::string& line)
{
    if (!videoCodec.empty()) return;
    std::string::size_type video = line.find("Video: ");
    if (video == std::string::npos) return;
    std::string::size_type start = video + 7;
    videoCodec = line.substr(start, line.find_first_of(" ,", start) - start);
}

// "Audio: pcm_s16le, 48000 Hz, 2 channels, ...": only the first audio line is
// turned into arguments, every one is counted.
void SampleReportParser::ReadAudioLine(const std::string& line)
{
    std::string::size_type audio = line.find("Audio:");
    if (audio == std::string::npos) return;
    ++audioStreamCount;
    if (audioLineSeen) return;
    audioLineSeen = true;

    std::string description = line.substr(audio);
    std::string::size_type pcm = description.find("pcm_");
    if (pcm == std::string::npos) return;
    std::vector<std::string> pieces = SplitString(description.substr(pcm + 4), ",");
    // Without a sample format there is nothing the encoder could be told.
    if (pieces.empty()) return;

    audioArgs.push_back("-f");
    audioArgs.push_back(RemoveSpaces(pieces[0]));
    for (size_t i = 1; i < pieces.size(); ++i) {
        const std::string& piece = pieces[i];
        if (std::string::size_type hz = piece.find("Hz"); hz != std::string::npos) {
            audioArgs.push_back("-ar");
            audioArgs.push_back(RemoveSpaces(piece.substr(0, hz)));
        } else if (std::string::size_type channels = piece.find("channels");
                   channels != std::string::npos) {
            audioArgs.push_back("-ac");
            audioArgs.push_back(RemoveSpaces(piece.substr(0, channels)));
        } else if (piece.find("stereo") != std::string::npos) {
            audioArgs.push_back("-ac");
            audioArgs.push_back("2");
        } else if (piece.find("mono") != std::string::npos) {
            audioArgs.push_back("-ac");
            audioArgs.push_back("1");
        }
    }
}

}  // namespace vexmend
