// Helpers shared by the tests: temporary folders, file contents, running
// programs and generating MXF media with the system's ffmpeg.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support/ReferenceWalk.h"

namespace vexmend::test {

// A fresh temporary folder, removed with its content at the end of scope.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    const std::string& Path() const { return path; }
    std::string operator/(const std::string& name) const { return path + "/" + name; }

private:
    std::string path;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::string ReadText(const std::string& path);
bool Exists(const std::string& path);

// A content hash of each regular file under `folder` (links not followed), by
// path: equal maps show that nothing there was made, changed or removed.
std::map<std::string, uint64_t> HashTree(const std::string& folder);

// The exit status of a shell command; its standard output and error in `output`.
int RunShell(const std::string& command, std::string* output = nullptr);
std::string Quote(const std::string& text);  // single-quoted for the shell

struct MediaRecipe {
    int frames = 50;
    std::string rate = "25";  // ffmpeg rate text, e.g. "30000/1001"
    std::string audioCodec = "pcm_s16le";
    int channels = 2;      // channels per audio stream
    int audioStreams = 1;  // separate audio streams at 48 kHz, stream i a tone of 440 + 110 i Hz
    int bFrames = 0;       // B-pictures between anchors: long GOP in the coded order
};

// Writes an OP1a MXF file with MPEG-2 video and PCM audio.
void MakeMxf(const std::string& path, const MediaRecipe& recipe);

// What ffprobe reports on a file; zero and empty when it cannot read it.
struct ProbeResult {
    int videoStreams = 0;
    int64_t videoFrames = 0, videoPackets = 0;  // decoded and stored
    double frameRate = 0, duration = 0;
    std::vector<std::string> audio;  // "codec,sample rate,channels" of each audio stream
};
ProbeResult Probe(const std::string& path);

// Audio stream `stream` mixed to mono, 48 kHz, 16 bits.
std::vector<int16_t> DecodeSound(const std::string& path, int stream);
// The frequency of a tone in audio stream `stream` by its sign changes.
double ToneFrequency(const std::string& path, int stream);

// Lines of a text; a line ends in LF or CR LF, and neither is part of it.
std::vector<std::string> Lines(const std::string& text);

}  // namespace vexmend::test
