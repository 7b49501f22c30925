// Reading the encoder's stream report on a sample file: the first audio
// stream's coding as encoder arguments, every audio stream's description,
// the frame rate and the video codec.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexmend {

// Pieces of `text` between the characters of `delimiters`, without empty ones.
std::vector<std::string> SplitString(const std::string& text, const std::string& delimiters);

// `text` without its space characters; other white space stays.
std::string RemoveSpaces(std::string text);

// One audio stream of the report. A stream that is not plain PCM, or whose
// rate or channel count the report does not give, is not usable.
struct AudioStreamDescription {
    std::string sampleFormat;  // raw format name: "s16le", "s24le", ...
    int sampleRate = 0;
    int channels = 0;

    bool Usable() const { return BytesPerSample() > 0 && sampleRate > 0 && channels > 0; }
    // Bytes of one channel's sample, from the format's bit count; 0 when unknown.
    int BytesPerSample() const;
    // Bytes of one sample frame: a sample of every channel.
    uint64_t SampleFrameBytes() const
    {
        return static_cast<uint64_t>(channels) * static_cast<uint64_t>(BytesPerSample());
    }
    // The encoder's arguments for raw data of this description.
    std::vector<std::string> Arguments() const;
};

class SampleReportParser {
public:
    enum class LineResult { Used, BadFrameRate };

    // Treats one report line (without its line feed).
    LineResult Feed(const std::string& line);

    const std::vector<std::string>& AudioArgs() const { return audioArgs; }
    uint32_t AudioStreamCount() const { return static_cast<uint32_t>(audioStreams.size()); }
    // Every audio line's description, in report order.
    const std::vector<AudioStreamDescription>& AudioStreams() const { return audioStreams; }
    // The "fps" figure of the video lines; without one, their "tbr" figure.
    double FrameRate() const { return fpsSeen || !tbrSeen ? frameRate : tbrRate; }
    bool AudioLineSeen() const { return !audioStreams.empty(); }
    // The first video line's codec name ("mpeg2video"); empty without one.
    const std::string& VideoCodec() const { return videoCodec; }
    // The four-character code of the first video line's codec ("apcn" of
    // "prores (Standard) (apcn / 0x6E637061)"); empty without one.
    const std::string& VideoTag() const { return videoTag; }
    // The first video line's picture size ("1920x1080"); 0 without one.
    int Width() const { return width; }
    int Height() const { return height; }

private:
    bool ReadFrameRate(const std::string& line);
    void ReadAudioLine(const std::string& line);
    void ReadVideoCodec(const std::string& line);

    std::vector<std::string> audioArgs;
    std::vector<AudioStreamDescription> audioStreams;
    double frameRate = 30.0;
    bool fpsSeen = false;
    double tbrRate = 30.0;
    bool tbrSeen = false;
    std::string videoCodec, videoTag;
    int width = 0, height = 0;
};

}  // namespace vexmend
