// The POSIX side of the test helpers: shell commands, media made and probed
// with the system's ffmpeg.
#include "support/TestSupport.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace vexmend::test {

int RunShell(const std::string& command, std::string* output)
{
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    std::string text;
    char chunk[4096];
    for (size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) > 0;) text.append(chunk, got);
    int status = pclose(pipe);
    if (output != nullptr) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

void MakeMxf(const std::string& path, const MediaRecipe& recipe)
{
    std::ostringstream command, map;
    command << "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=" << recipe.rate;
    for (int i = 0; i < recipe.audioStreams; ++i) {
        command << " -f lavfi -i sine=sample_rate=48000:frequency=" << 440 + 110 * i;
        map << " -map " << i + 1 << ":a";
    }
    command << " -map 0:v" << map.str() << " -frames:v " << recipe.frames
            << " -c:v mpeg2video -b:v 2M -g 12 -bf " << recipe.bFrames << " -pix_fmt yuv420p -c:a "
            << recipe.audioCodec << " -ac " << recipe.channels << " -shortest -f mxf "
            << Quote(path);
    std::string output;
    if (RunShell(command.str(), &output) != 0) throw std::runtime_error(path + ": " + output);
}

ProbeResult Probe(const std::string& path)
{
    const std::string command =
        "ffprobe -v error -count_frames -count_packets -of csv=p=0 "
        "-show_entries stream=codec_name,codec_type,sample_rate,channels,"
        "r_frame_rate,nb_read_frames,nb_read_packets:format=duration ";
    ProbeResult result;
    std::string output;
    RunShell(command + Quote(path), &output);
    // A line a stream, "codec,type,..." in ffprobe's order of fields, then the duration.
    for (const std::string& line : Lines(output)) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
        if (f.size() == 1) result.duration = std::atof(f[0].c_str());
        if (f.size() > 4 && f[1] == "audio") result.audio.push_back(f[0] + "," + f[2] + "," + f[3]);
        if (f.size() < 5 || f[1] != "video") continue;
        result.frameRate = std::atof(f[2].c_str()) / std::atof(f[2].c_str() + f[2].find('/') + 1);
        result.videoFrames = std::atoll(f[3].c_str());
        result.videoPackets = std::atoll(f[4].c_str());
        ++result.videoStreams;
    }
    return result;
}

std::vector<int16_t> DecodeSound(const std::string& path, int stream)
{
    TempFolder folder;
    RunShell("ffmpeg -nostdin -v error -i " + Quote(path) + " -map 0:a:" + std::to_string(stream) +
             " -ac 1 -ar 48000 -f s16le " + Quote(folder / "pcm"));
    const std::vector<uint8_t> bytes = ReadBytes(folder / "pcm");
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return samples;
}

double ToneFrequency(const std::string& path, int stream)
{
    // Sign changes between samples, two a period; silence does not count.
    std::vector<int16_t> pcm = DecodeSound(path, stream);
    pcm.erase(std::remove(pcm.begin(), pcm.end(), 0), pcm.end());
    double changes = 0;
    for (size_t i = 1; i < pcm.size(); ++i) changes += (pcm[i] < 0) != (pcm[i - 1] < 0);
    return pcm.empty() ? 0 : changes * 48000 / 2 / static_cast<double>(pcm.size());
}

}  // namespace vexmend::test
