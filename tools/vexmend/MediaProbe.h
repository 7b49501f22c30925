// What the encoder finds reading a file through: its streams as the stream
// report describes them, and how far the file reads with stream copy.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AudioTrackInfo {
    std::string codec;         // "pcm_s24le"
    std::string sampleFormat;  // "s32 (24 bit)"
    int sampleRate = 0;
    int channels = 0;
};

struct MediaInfo {
    // The encoder ended with exit status 0.
    bool read = false;
    std::string videoCodec;
    int width = 0, height = 0;
    double frameRate = 0;
    std::vector<AudioTrackInfo> audio;
    std::string timecode;
    // Seconds the container states (0 when it states none) and seconds that
    // the stream copy reached.
    double duration = 0;
    double readSeconds = 0;
    // Video frames the stream copy passed.
    int64_t frames = 0;

    bool HasVideo() const { return !videoCodec.empty(); }
    // Read to the end with exit status 0, as long as the container says,
    // judged by figures only: the report's words may come from the clip's
    // own metadata ("Error Corp").
    bool ReadWhole() const;
};

// Parses the encoder's report of a stream-copy read (its standard error) of
// the input `name`, which is left out of the lines before they are read.
MediaInfo ParseMediaReport(const std::string& report, const std::string& name);

struct EncoderOutput {
    std::string report;  // its standard error
    int status = -1;
};

// Runs `encoder` with `arguments` and collects what it writes on standard
// error. Throws Stopped, once the encoder has ended, when a stop is asked for.
EncoderOutput RunEncoder(const std::string& encoder, const std::vector<std::string>& arguments);

// Has `encoder` read `path` as MXF with stream copy into nothing. Throws
// Stopped, once the encoder has ended, when a stop is asked for.
MediaInfo ProbeMedia(const std::string& encoder, const std::string& path);
