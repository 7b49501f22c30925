// The advance-repair engine: scans a damaged MXF file for essence elements
// and has the encoder wrap the frames it finds again, guided by a healthy
// sample file from the same device.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "LogSink.h"
#include "MxfAdvanceRepair/sample/SampleProfile.h"
#include "MxfAdvanceRepair/plan/RepairPlan.h"

namespace vexmend {

class EssenceWriter;
class FileReader;
class StreamBuffer;
struct MatroskaTrack;
struct MergeInput;

struct MxfAdvanceRepairOptions {
    // Encoder program (UTF-8); empty means "ffmpeg.exe" beside the host.
    std::string encoderPath;
    // Seconds the merge's encoder may go without its result growing before
    // it is killed, and that the probe's report may take to end, counted from
    // the encoder's start or from the report's last line.
    int64_t mergeTimeLimitSeconds = 60;
};

// A sound track of the result: the sample's stream it carries and the
// damaged file's elements that fit it, in file order.
struct SoundTrack {
    size_t index;  // among the sample's tracks
    AudioStreamDescription stream;
    bool aes3;
    std::vector<const EssenceSample*> elements;
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
    template <typename Step>
    bool GuardedOpenStep(const std::string& path, Step step);
    // Writes a record when a log sink is set.
    template <typename Value>
    void Log(LogLevel level, int32_t line, const std::string& message, const Value& value);

    int32_t ReadVideoAt(uint64_t offset, uint8_t* destination, uint64_t count);
    // ReadVideoAt as the stages take it.
    ReadAtFunction StageReader();
    // Clip-wrapped pictures (a run of frames in one element) as a picture a
    // frame (scan/ClipWrapping.h); with a clip-wrapped sample of a
    // constant-size codec also the frames whose element key was lost.
    void SplitClipWrappedElements();
    // A sample with sound and no picture gives a result of sound alone.
    bool SoundOnly() const;
    // With a sound-only sample whose track shows no element in the damaged
    // file: the sound of a clip whose key was lost, after the zeros at the
    // file's start and up to the next partition or fill item.
    void FindKeylessSound();
    // Edit units of the sample's first sound track that the scan found.
    uint64_t SoundEditUnits() const;
    // Empty when the damaged file's pictures are of the sample's codec, else
    // a text that names both codecs.
    std::string PictureCodecMismatch();
    void WriteVideoData(EssenceWriter& target) const;
    // The video and every sound track as one Matroska stream, a block for
    // each picture and each track's sound of every frame of the plan.
    void WriteFramedEssence(const std::vector<SoundTrack>& tracks,
                            const std::vector<MatroskaTrack>& streams, EssenceWriter& target) const;
    // The merge's one input of framed essence; nothing when the codec or a
    // sound format has no Matroska form, or the result is sound alone.
    std::optional<MergeInput> FramedInput(const std::string& pathStem,
                                          const std::vector<SoundTrack>& tracks) const;
    // Sound tracks that the sample both describes and shows elements of.
    size_t SoundTrackCount() const;
    // The sample's tracks with the damaged file's elements that fit them.
    std::vector<SoundTrack> SelectSoundTracks();
    // The merge's inputs for the sound tracks.
    std::vector<MergeInput> AudioInputs(const std::string& pathStem,
                                        const std::vector<SoundTrack>& tracks) const;
    void WriteSoundTrack(size_t t, const SoundTrack& track, EssenceWriter& target) const;
    // Logs what the plan made of the pictures and the sound.
    void LogPlan();

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
    // The result's frames and its timecode, worked out by GetRepairedVideo.
    RepairPlan plan;
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

// The raw data file of audio track `track` (counted from 0): "_Audio.dat"
// for the first, then "_Audio2.dat", "_Audio3.dat" and so on.
std::string AudioDataPath(const std::string& pathStem, size_t track);

// Removes the file if it exists; never fails.
void DeleteFileIfExists(const std::string& path);

}  // namespace vexmend
