// The one repair manager behind the exported functions: it owns the log and
// the advance-repair engine and runs both repairs.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "LogSink.h"
#include "MxfAdvanceRepair/MxfAdvanceRepair.h"

namespace vexmend {

// Result codes returned to the host.
constexpr int32_t ResultOk = 0;
constexpr int32_t ResultNoManager = -1;
constexpr int32_t ResultInitFailed = -2050;
constexpr int32_t ResultNoInput = -2051;
constexpr int32_t ResultRepairDirFailed = -2052;
constexpr int32_t ResultEncoderNotStarted = -2053;
constexpr int32_t ResultNoOutput = -2054;
constexpr int32_t ResultMissingPath = -2055;
constexpr int32_t ResultAdvanceFailed = -2056;

// The process-wide work folder; empty stands for the current folder.
extern std::wstring tempDir;

// The per-user temporary folder with "/" separators.
std::wstring GetUserTempFolder();

class VideoRepairManager {
public:
    VideoRepairManager() = default;
    ~VideoRepairManager();

    VideoRepairManager(const VideoRepairManager&) = delete;
    VideoRepairManager& operator=(const VideoRepairManager&) = delete;

    int32_t Initialize(const char* logFolder, const char* workFolder);
    void ensureTempDir();
    void Destroy();
    int32_t GeneralRepair(const char* inputPath, const char* outputPath);
    int32_t AdvanceRepair(const char* damagedPath, const char* samplePath, const char* outputPath);

    // The log, when initialisation got as far as making it.
    LogSink* Log() const { return logSink.get(); }
    MxfAdvanceRepair* Engine() const { return engine.get(); }

private:
    // 0 when the encoder ran (its exit status in `exitStatus`), else
    // ResultEncoderNotStarted. With `videoFrames`, the result keeps the
    // first so many pictures (and the sound that plays with them).
    int32_t FfmpegRepair(const std::wstring& input, const std::wstring& output, int32_t& exitStatus,
                         std::optional<uint64_t> videoFrames = std::nullopt);
    // The pictures at the end of the general repair's result at `path` that
    // its index points past are dropped by repeating the rewrap of `input`
    // with fewer pictures: 0, or ResultNoOutput when the index still points
    // past the last picture or cannot be checked (logged).
    int32_t DropPicturesPastTheIndex(const std::wstring& input, const std::string& path);
    void WriteBanner();

    std::unique_ptr<MxfAdvanceRepair> engine;
    std::unique_ptr<LogSink> logSink;
    std::wstring encoderPath;
    std::wstring hostFolder;
    std::wstring logFolder;
    // The general repair's running encoder, 0 when none runs.
    std::mutex processLock;
    uint32_t encoderProcessId = 0;
};

}  // namespace vexmend
