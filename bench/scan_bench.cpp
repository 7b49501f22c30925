// Times the damaged-file scan against a plain sequential read of the same
// file from the page cache.
//
//   scan_bench [--size-gib N] [--garbage-only] [--file PATH] [--runs N] [--keep]
//
// The generated file holds about 90% essence elements (video values of
// 100-300 KiB, audio values of 4-8 KiB) and 10% random bytes in stretches of
// random length; --garbage-only writes random bytes only. Without --file it
// goes to a fresh folder under /tmp, removed afterwards unless --keep.
// Each of --runs rounds (default 5) times one raw read and one scan.
// A scan stops after 2 GiB of unrecognised bytes, so keep --garbage-only
// files at 2 GiB or less.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "LogSink.h"
#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "TextConvert.h"
#include "platform/Platform.h"

namespace {

constexpr uint64_t kGiB = 1ull << 30;
constexpr size_t kIoBuffer = 32u << 20;

struct Options {
    double sizeGiB = 1.0;
    bool garbageOnly = false;
    bool keep = false;
    int runs = 5;
    std::string file;
};

[[noreturn]] void Usage()
{
    std::fprintf(
        stderr,
        "usage: scan_bench [--size-gib N] [--garbage-only] [--file PATH] [--runs N] [--keep]\n");
    std::exit(2);
}

Options ParseArguments(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--size-gib" && i + 1 < argc) {
            options.sizeGiB = std::atof(argv[++i]);
            if (!(options.sizeGiB > 0)) Usage();
        } else if (a == "--garbage-only") {
            options.garbageOnly = true;
        } else if (a == "--runs" && i + 1 < argc) {
            options.runs = std::atoi(argv[++i]);
            if (options.runs < 1) Usage();
        } else if (a == "--keep") {
            options.keep = true;
        } else if (a == "--file" && i + 1 < argc) {
            options.file = argv[++i];
        } else {
            Usage();
        }
    }
    return options;
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Buffered writer that fills with random bytes quickly.
class Generator {
public:
    explicit Generator(int fd) : fd(fd), rng(0x5ca1ab1e) { buffer.reserve(kIoBuffer); }

    uint64_t Uniform(uint64_t lo, uint64_t hi) { return lo + rng() % (hi - lo + 1); }

    void Random(uint64_t n)
    {
        while (n != 0) {
            size_t room = kIoBuffer - buffer.size();
            if (room < 8) {
                Flush();
                continue;
            }
            size_t take = static_cast<size_t>(std::min<uint64_t>(n, room)) & ~size_t{7};
            if (take == 0) {
                for (; n != 0; --n) buffer.push_back(static_cast<uint8_t>(rng()));
                break;
            }
            size_t at = buffer.size();
            buffer.resize(at + take);
            for (size_t i = 0; i < take; i += 8) {
                uint64_t v = rng();
                std::memcpy(buffer.data() + at + i, &v, 8);
            }
            n -= take;
        }
    }

    void Bytes(const uint8_t* p, size_t n)
    {
        if (buffer.size() + n > kIoBuffer) Flush();
        buffer.insert(buffer.end(), p, p + n);
    }

    void Flush()
    {
        size_t done = 0;
        while (done < buffer.size()) {
            ssize_t w = ::write(fd, buffer.data() + done, buffer.size() - done);
            if (w <= 0) {
                std::perror("write");
                std::exit(1);
            }
            done += static_cast<size_t>(w);
        }
        buffer.clear();
    }

private:
    int fd;
    std::mt19937_64 rng;
    std::vector<uint8_t> buffer;
};

struct Generated {
    uint64_t video = 0;
    uint64_t audio = 0;
};

// Writes `size` bytes (the last element may be cut short).
Generated WriteFile(const std::string& path, uint64_t size, bool garbageOnly)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    Generator g(fd);
    Generated counts;
    uint64_t written = 0;
    if (garbageOnly) {
        g.Random(size);
        written = size;
    }
    while (written < size) {
        uint64_t left = size - written;
        // One item in five is a stretch of noise of up to 100 KiB: about 10%
        // of the bytes, next to elements of about 103 KiB on average.
        if (g.Uniform(0, 99) < 20) {
            uint64_t n = std::min(left, g.Uniform(1, 100 << 10));
            g.Random(n);
            written += n;
            continue;
        }
        bool video = g.Uniform(0, 99) < 50;
        uint64_t valueSize = video ? g.Uniform(100 << 10, 300 << 10) : g.Uniform(4 << 10, 8 << 10);
        uint8_t header[20] = {0x06,
                              0x0E,
                              0x2B,
                              0x34,
                              0x01,
                              0x02,
                              0x01,
                              0x01,
                              0x0D,
                              0x01,
                              0x03,
                              0x01,
                              static_cast<uint8_t>(video ? 0x15 : 0x16),
                              0x01,
                              0x01,
                              0x01,
                              0x83,
                              static_cast<uint8_t>(valueSize >> 16),
                              static_cast<uint8_t>(valueSize >> 8),
                              static_cast<uint8_t>(valueSize)};
        if (left < sizeof header) {
            g.Random(left);
            written += left;
            break;
        }
        g.Bytes(header, sizeof header);
        uint64_t value = std::min(valueSize, left - sizeof header);
        g.Random(value);
        written += sizeof header + value;
        (video ? counts.video : counts.audio) += 1;
    }
    g.Flush();
    ::close(fd);
    return counts;
}

// Reads the whole file sequentially into a 32 MiB buffer; returns the bytes
// read. The buffer is taken like the scan's read window and anew each time,
// so that both runs copy into the same kind of memory.
uint64_t ReadAll(const std::string& path)
{
    vexmend::platform::ZeroedBlock buffer = vexmend::platform::AllocateZeroedBlock(kIoBuffer);
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    uint64_t total = 0;
    uint64_t sum = 0;
    for (;;) {
        ssize_t r = ::read(fd, buffer.get(), kIoBuffer);
        if (r < 0) {
            std::perror("read");
            std::exit(1);
        }
        if (r == 0) break;
        total += static_cast<uint64_t>(r);
        sum += buffer[0];
    }
    ::close(fd);
    // Keep the loop from being dropped.
    if (sum == 0xFFFFFFFFFFFFFFFFull) std::puts("");
    return total;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options = ParseArguments(argc, argv);

    std::string folder;
    std::string path = options.file;
    bool generated = false;
    Generated counts;
    if (path.empty()) {
        char pattern[] = "/tmp/scan_bench.XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            std::perror("mkdtemp");
            return 1;
        }
        folder = pattern;
        path = folder + "/bench.mxf";
    } else {
        std::string::size_type slash = path.rfind('/');
        folder = slash == std::string::npos ? "." : path.substr(0, slash);
    }
    struct stat st {};
    if (options.file.empty() || ::stat(path.c_str(), &st) != 0) {
        uint64_t size = static_cast<uint64_t>(options.sizeGiB * static_cast<double>(kGiB));
        auto t = std::chrono::steady_clock::now();
        counts = WriteFile(path, size, options.garbageOnly);
        generated = true;
        std::printf("generated %s in %.2f s (%llu video, %llu audio elements%s)\n", path.c_str(),
                    Seconds(t), static_cast<unsigned long long>(counts.video),
                    static_cast<unsigned long long>(counts.audio),
                    options.garbageOnly ? ", garbage only" : "");
    } else {
        std::printf("using existing %s\n", path.c_str());
    }

    uint64_t fileSize = ReadAll(path);  // warms the page cache

    // Raw reads and scans take turns, so that both see the same state of
    // the machine; the medians are compared.
    std::string logPath = folder + "/scan_bench.log";
    size_t video = 0;
    size_t audio = 0;
    int32_t result = 0;
    std::vector<double> rawTimes;
    std::vector<double> scanTimes;
    for (int run = 0; run < options.runs; ++run) {
        auto t = std::chrono::steady_clock::now();
        ReadAll(path);
        rawTimes.push_back(Seconds(t));

        vexmend::MxfAdvanceRepair engine;
        vexmend::LogSink sink(vexmend::LogLevel::Debug, logPath);
        engine.SetLogger(&sink);
        engine.SetVideoPath(vexmend::Utf8ToWideNoLocale(path), L"");
        t = std::chrono::steady_clock::now();
        result = engine.Repair();
        scanTimes.push_back(Seconds(t));
        video = engine.VideoSamples().size();
        audio = engine.AudioSamples().size();
    }
    double rawSeconds = Median(rawTimes);
    double scanSeconds = Median(scanTimes);

    double gb = static_cast<double>(fileSize) / 1e9;
    std::printf("file size:      %llu bytes (%.3f GiB)\n",
                static_cast<unsigned long long>(fileSize),
                static_cast<double>(fileSize) / static_cast<double>(kGiB));
    std::printf("runs:           %d (medians below)\n", options.runs);
    std::printf("raw read:       %.3f s  %.2f GB/s  (fastest %.3f s)\n", rawSeconds,
                gb / rawSeconds, *std::min_element(rawTimes.begin(), rawTimes.end()));
    std::printf("scan:           %.3f s  %.2f GB/s  (fastest %.3f s; Repair() returned %d)\n",
                scanSeconds, gb / scanSeconds,
                *std::min_element(scanTimes.begin(), scanTimes.end()), result);
    std::printf("ratio scan/raw: %.2f  (target <= 1.5)\n", scanSeconds / rawSeconds);
    std::printf("elements found: %zu video, %zu audio", video, audio);
    if (generated) {
        std::printf("  (written: %llu video, %llu audio)",
                    static_cast<unsigned long long>(counts.video),
                    static_cast<unsigned long long>(counts.audio));
    }
    std::printf("\n");
    if (options.garbageOnly) {
        std::printf("garbage-only scan: %.2f GB/s (target >= 2)\n", gb / scanSeconds);
    }
    std::fflush(stdout);

    ::unlink(logPath.c_str());
    if (!options.keep) {
        if (generated) ::unlink(path.c_str());
        if (options.file.empty()) ::rmdir(folder.c_str());
    }
    return 0;
}
