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
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path; }
    std::string operator/(const std::string& name) const { return path + "/" + name; }

private:
    std::string path;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::string ReadText(const std::string& path);
bool Exists(const std::string& path);

// A content hash (FNV-1a 64) to show that a file did not change.
uint64_t HashFile(const std::string& path);

// The hash of every regular file under `folder` (links not followed), by path.
std::map<std::string, uint64_t> HashTree(const std::string& folder);

// Runs a shell command; returns its exit status and fills `output` with its
// standard output and error.
int RunShell(const std::string& command, std::string* output = nullptr);

// Single-quotes a text for the shell.
std::string Quote(const std::string& text);

struct MediaSpec {
    int frames = 50;
    std::string rate = "25";  // ffmpeg rate text, e.g. "30000/1001"
    std::string audioCodec = "pcm_s16le";
    int channels = 2;      // channels per audio stream
    int audioStreams = 1;  // separate audio streams
    int sampleRate = 48000;
};

// Writes an OP1a MXF file with MPEG-2 video and PCM audio.
void MakeMxf(const std::string& path, const MediaSpec& spec);

// What ffprobe reports on a file.
struct ProbeResult {
    bool readable = false;
    int videoStreams = 0;
    int audioStreams = 0;
    int64_t videoFrames = 0;   // decoded
    int64_t videoPackets = 0;  // stored
    double frameRate = 0;
    int sampleRate = 0;
    int channels = 0;
    double duration = 0;
    std::vector<std::string> audioCodecs;  // each audio stream's, in order
};
ProbeResult Probe(const std::string& path);

// The share (0 to 1) of audio stream `stream`'s energy, mixed to mono, that
// lies at `frequency` Hz: near 1 for a clean tone, near 0 for another tone
// or noise.
double ToneShare(const std::string& path, int stream, double frequency);

// Lines of a text; a line ends in LF or CR LF, and neither is part of it.
std::vector<std::string> Lines(const std::string& text);

}  // namespace vexmend::test
