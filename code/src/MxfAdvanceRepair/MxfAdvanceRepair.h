// The advance-repair engine: scans a damaged MXF file for essence elements
// and has the encoder wrap the frames it finds again, guided by a healthy
// sample file from the same device.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FileReader.h"
#include "LogSink.h"
#include "MxfAdvanceRepair/sample/SampleProfile.h"

namespace vexmend {

class StreamBuffer;
struct FeedSource;
struct MergeInput;

struct MxfAdvanceRepairOptions {
    // Encoder program (UTF-8); empty means "ffmpeg.exe" beside the host.
    std::string encoderPath;
    // Seconds the merge's encoder may go without its result growing before
    // it is killed, and that the probe's report may take to end, counted from
    // the encoder's start or from the report's last line.
    int64_t mergeTimeLimitSeconds = 60;
};

class MxfAdvanceRepair final {
public:
    MxfAdvanceRepair();
    explicit MxfAdvanceRepair(const MxfAdvanceRepairOptions& options);
    ~MxfAdvanceRepair();

    MxfAdvanceRepair(const MxfAdvanceRepair&) = delete;
    MxfAdvanceRepair& operator=(const MxfAdvanceRepair&) = delete;

    // The five operations the manager drives, in this order.
    virtual void SetLogger(LogSink* logger);
    virtual void SetVideoPath(const std::wstring& videoPath, const std::wstring& samplePath);
    virtual int32_t Repair();
    virtual std::wstring GetRepairedVideo(const std::wstring& videoPath,
                                          const std::wstring& outputDir);
    virtual void Close();

    // Closes and releases the stream on the damaged file; the sample's probe
    // results stay.
    void CloseVideoFile();

    // 0 when `command` names an existing file or folder, else -1 (logged).
    int32_t CheckCommandExists(const std::string& command);

    // Probes the sample when its path changed; 0, or -1 when the probe failed.
    int AnalyzeSampleVideo();
    int32_t AnalyzeAudioCodecInfo();

    // Has the encoder wrap the inputs (the framed essence; or the video
    // unless the result is sound alone, then one per audio track), fed
    // through pipes at their data files' paths, into `outputPath`: 0 when
    // it ended by itself with exit status 0 and every input was read whole,
    // -1 when it cannot be used, -2 when it could not be stopped, -3 when it
    // or an input failed, -4 when it was killed because it neither took
    // input nor grew its result.
    int32_t MergeAudioVideo(const std::vector<MergeInput>& inputs, const std::string& outputPath);

    // The file that the next GetRepairedVideo has the encoder write, in
    // place of one in the result folder (the caller's temporary output).
    void SetResultFile(const std::string& path) { resultFile = path; }

    void ReportScanResult();

    // What the engine knows; for the host's tests and tools.
    const std::vector<EssenceSample>& VideoSamples() const { return videoSamples; }
    const std::vector<EssenceSample>& AudioSamples() const { return audioSamples; }
    const std::vector<std::string>& AudioArgs() const { return audioArgs; }
    double FrameRate() const { return frameRate; }
    const SampleProfile& Sample() const { return sample; }
    uint32_t AudioStreamCount() const { return audioStreamCount; }

private:
    std::shared_ptr<StreamBuffer> OpenVideoFile();
    // Writes a record when a log sink is set.
    template <typename Value>
    void Log(LogLevel level, int32_t line, const std::string& message, const Value& value);

    int32_t ReadVideoAt(uint64_t offset, uint8_t* destination, uint64_t count);
    // ReadVideoAt as the stages take it.
    ReadAtFunction StageReader();

    LogSink* logger = nullptr;
    int64_t videoFileSize = 0;
    std::wstring videoPath;
    std::wstring samplePath;
    std::vector<std::string> audioArgs;
    double frameRate = 30.0;
    // What the sample taught beyond its audio arguments and frame rate.
    SampleProfile sample;
    bool sampleChanged = false;
    std::vector<EssenceSample> videoSamples;
    std::vector<EssenceSample> audioSamples;
    // What GetRepairedVideo planned and feeds the merge: the result's frames,
    // sound tracks and timecode.
    std::shared_ptr<const FeedSource> assembly;
    std::string resultFile;
    // The damaged file, read at absolute positions without a buffer of its
    // own: large reads go straight to the file.
    std::shared_ptr<FileReader> videoStream;
    uint64_t readerStartOffset = 0;
    uint32_t readerBufferSize = kScanWindowSize;
    std::string encoderPath;
    uint32_t encoderProcessId = 0;
    uint32_t audioStreamCount = 0;
    int64_t mergeTimeLimitSeconds = 60;
};

template <typename Value>
void MxfAdvanceRepair::Log(LogLevel level, int32_t line, const std::string& message,
                           const Value& value)
{
    if (logger != nullptr) logger->Write(level, line, message, value);
}

// Where the engine writes its result and intermediate files for `videoPath`.
// The empty text when the paths cannot be worked out.
std::string MakeOutputPath(const std::wstring& sourcePath, const std::wstring& target);

// Removes the file if it exists; never fails.
void DeleteFileIfExists(const std::string& path);

}  // namespace vexmend
