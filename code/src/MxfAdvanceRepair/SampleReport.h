// Reading the encoder's stream report on a sample file: the first audio
// stream's coding as encoder arguments, the number of audio streams, the
// frame rate and the video codec.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexmend {

// Pieces of `text` between the characters of `delimiters`, without empty ones.
std::vector<std::string> SplitString(const std::string& text, const std::string& delimiters);

// `text` without its space characters; other white space stays.
std::string RemoveSpaces(std::string text);

class SampleReportParser {
public:
    enum class LineResult { Used, BadFrameRate };

    // Treats one report line (without its line feed).
    LineResult Feed(const std::string& line);

    const std::vector<std::string>& AudioArgs() const { return audioArgs; }
    uint32_t AudioStreamCount() const { return audioStreamCount; }
    // The "fps" figure of the video lines; without one, their "tbr" figure.
    double FrameRate() const { return fpsSeen || !tbrSeen ? frameRate : tbrRate; }
    bool AudioLineSeen() const { return audioLineSeen; }
    // The first video line's codec name ("mpeg2video"); empty without one.
    const std::string& VideoCodec() const { return videoCodec; }

private:
    bool ReadFrameRate(const std::string& line);
    void ReadAudioLine(const std::string& line);
    void ReadVideoCodec(const std::string& line);

    std::vector<std::string> audioArgs;
    uint32_t audioStreamCount = 0;
    double frameRate = 30.0;
    bool fpsSeen = false;
    double tbrRate = 30.0;
    bool tbrSeen = false;
    bool audioLineSeen = false;
    std::string videoCodec;
};

}  // namespace vexmend
