#include "MxfAdvanceRepair/sample/SampleReport.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
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

namespace {

// A whole text of decimal digits as a number; -1 for anything else.
int Count(const std::string& text)
{
    if (text.empty() || text.size() > 6) return -1;
    int value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string Trim(const std::string& text)
{
    std::string::size_type first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Channels named by a report piece: "2 channels", "mono", "stereo", "quad",
// or a layout such as "4.0", "5.1" or "7.1(wide)" (its figures added up).
// 0 when the piece names no channels.
int ChannelCount(const std::string& piece)
{
    std::string text = Trim(piece);
    if (std::string::size_type channels = text.find(" channels"); channels != std::string::npos) {
        return std::max(Count(text.substr(0, channels)), 0);
    }
    std::string layout = text.substr(0, text.find('('));
    static const struct {
        const char* name;
        int channels;
    } kNamed[] = {{"mono", 1}, {"stereo", 2},    {"downmix", 2},
                  {"quad", 4}, {"hexagonal", 6}, {"octagonal", 8}};
    for (const auto& named : kNamed) {
        if (layout == named.name) return named.channels;
    }
    std::vector<std::string> figures = SplitString(layout, ".");
    if (figures.size() < 2 || layout.back() == '.') return 0;
    int channels = 0;
    for (const std::string& figure : figures) {
        int count = Count(figure);
        if (count < 0) return 0;
        channels += count;
    }
    return channels;
}

// "Audio: pcm_s24le, 48000 Hz, mono, s32 (24 bit), 1152 kb/s"
AudioStreamDescription DescribeAudioLine(const std::string& description)
{
    AudioStreamDescription stream;
    std::vector<std::string> pieces = SplitString(description.substr(6), ",");
    if (pieces.empty()) return stream;
    std::string codec = Trim(pieces[0]);
    codec = codec.substr(0, codec.find_first_of(" ("));
    if (codec.compare(0, 4, "pcm_") == 0) stream.sampleFormat = codec.substr(4);
    for (size_t i = 1; i < pieces.size(); ++i) {
        if (std::string::size_type hz = pieces[i].find(" Hz"); hz != std::string::npos) {
            stream.sampleRate = std::max(Count(Trim(pieces[i].substr(0, hz))), 0);
        } else if (stream.channels == 0) {
            stream.channels = ChannelCount(pieces[i]);
        }
    }
    return stream;
}

}  // namespace

int AudioStreamDescription::BytesPerSample() const
{
    // s16le, s24le, s32be, u8, f32le, f64le ...
    if (sampleFormat.size() < 2 || std::string("suf").find(sampleFormat[0]) == std::string::npos) {
        return 0;
    }
    std::string::size_type end = std::min(sampleFormat.find_first_not_of("0123456789", 1),
                                          sampleFormat.size());
    std::string rest = sampleFormat.substr(end);
    int bits = Count(sampleFormat.substr(1, end - 1));
    if (bits <= 0 || bits % 8 != 0 || !(rest.empty() || rest == "le" || rest == "be")) return 0;
    return bits / 8;
}

std::vector<std::string> AudioStreamDescription::Arguments() const
{
    return {"-f", sampleFormat, "-ar", std::to_string(sampleRate), "-ac", std::to_string(channels)};
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
    // The code stands before " / 0x" and its value in the codec's field.
    const std::string codec = line.substr(start, line.find(',', start) - start);
    if (std::string::size_type value = codec.find(" / 0x");
        value != std::string::npos && value >= 5 && codec[value - 5] == '(') {
        videoTag = codec.substr(value - 4, 4);
    }
    // The picture size is the first field that reads as "<width>x<height>".
    for (const std::string& field : SplitString(line.substr(start), ",")) {
        int w = 0, h = 0;
        char end = 0;
        if (std::sscanf(field.c_str(), " %dx%d%c", &w, &h, &end) >= 2 && w > 0 && h > 0 &&
            (end == 0 || end == ' ')) {
            width = w;
            height = h;
            break;
        }
    }
}

// "Audio: pcm_s16le, 48000 Hz, 2 channels, ...": every audio line is counted
// and described; the first one is also turned into arguments.
void SampleReportParser::ReadAudioLine(const std::string& line)
{
    std::string::size_type audio = line.find("Audio:");
    if (audio == std::string::npos) return;
    audioStreams.push_back(DescribeAudioLine(line.substr(audio)));
    if (audioStreams.size() > 1) return;

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
