// The POSIX side of the test helpers: temporary folders under /tmp, shell
// commands, media made and probed with the system's ffmpeg.
#include "support/TestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace vexmend::test {

TempFolder::TempFolder()
{
    char pattern[] = "/tmp/vexmend-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    path = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path, ignored);
}

int RunShell(const std::string& command, std::string* output)
{
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    std::string text;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) text.append(chunk, got);
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

void MakeMxf(const std::string& path, const MediaSpec& spec)
{
    std::ostringstream command;
    command
        << "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc=size=320x240:rate="
        << spec.rate;
    for (int i = 0; i < spec.audioStreams; ++i) {
        command << " -f lavfi -i sine=frequency=" << (440 + 110 * i)
                << ":sample_rate=" << spec.sampleRate;
    }
    command << " -map 0:v";
    for (int i = 0; i < spec.audioStreams; ++i) command << " -map " << (i + 1) << ":a";
    command << " -frames:v " << spec.frames << " -c:v mpeg2video -b:v 2M -g 12 -pix_fmt yuv420p"
            << " -c:a " << spec.audioCodec << " -ac " << spec.channels << " -ar " << spec.sampleRate
            << " -shortest -f mxf " << Quote(path);
    std::string output;
    if (RunShell(command.str(), &output) != 0) {
        throw std::runtime_error("ffmpeg could not make " + path + ": " + output);
    }
}

namespace {

double ParseRate(const std::string& text)
{
    auto slash = text.find('/');
    if (slash == std::string::npos) return std::atof(text.c_str());
    double den = std::atof(text.c_str() + slash + 1);
    return den == 0 ? 0 : std::atof(text.substr(0, slash).c_str()) / den;
}

}  // namespace

ProbeResult Probe(const std::string& path)
{
    ProbeResult result;
    std::string output;
    int status = RunShell(
        "ffprobe -v error -count_frames -count_packets -show_entries "
        "stream=codec_type,codec_name,nb_read_frames,nb_read_packets,r_frame_rate,sample_rate,"
        "channels:"
        "format=duration -of default=noprint_wrappers=1 " +
            Quote(path),
        &output);
    if (status != 0) return result;
    result.readable = true;
    std::string type, codec;  // ffprobe gives a stream's codec before its type
    for (const std::string& line : Lines(output)) {
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "codec_name") {
            codec = value;
        } else if (key == "codec_type") {
            type = value;
            if (type == "audio") result.audioCodecs.push_back(codec);
            (type == "video" ? result.videoStreams : result.audioStreams)++;
        } else if (key == "nb_read_frames" && type == "video") {
            result.videoFrames = std::atoll(value.c_str());
        } else if (key == "nb_read_packets" && type == "video") {
            result.videoPackets = std::atoll(value.c_str());
        } else if (key == "r_frame_rate" && type == "video") {
            result.frameRate = ParseRate(value);
        } else if (key == "sample_rate" && type == "audio" && result.sampleRate == 0) {
            result.sampleRate = std::atoi(value.c_str());
        } else if (key == "channels" && type == "audio" && result.channels == 0) {
            result.channels = std::atoi(value.c_str());
        } else if (key == "duration") {
            result.duration = std::atof(value.c_str());
        }
    }
    return result;
}

double ToneShare(const std::string& path, int stream, double frequency)
{
    TempFolder folder;
    std::string pcm = folder / "track.raw";
    if (RunShell("ffmpeg -nostdin -v error -i " + Quote(path) + " -map 0:a:" +
                 std::to_string(stream) + " -ac 1 -ar 48000 -f f64le " + Quote(pcm)) != 0) {
        return 0;
    }
    std::vector<uint8_t> bytes = ReadBytes(pcm);
    std::vector<double> x(bytes.size() / sizeof(double));
    std::memcpy(x.data(), bytes.data(), x.size() * sizeof(double));
    // Goertzel: the signal's power at one frequency, against its whole energy.
    const double w = 2 * M_PI * frequency / 48000;
    double s1 = 0, s2 = 0, energy = 0;
    for (double sample : x) {
        double s0 = sample + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
        energy += sample * sample;
    }
    double power = s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2;
    return energy == 0 ? 0 : 2 * power / (static_cast<double>(x.size()) * energy);
}

}  // namespace vexmend::test
