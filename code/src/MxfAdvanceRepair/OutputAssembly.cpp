// The output assembly: the frames that the scan found are read out of the
// damaged file into one framed stream (or, for codecs and sound that it does
// not carry, raw streams), which the encoder wraps as they come.
#include <Poco/File.h>
#include <Poco/Path.h>

#include <algorithm>
#include <filesystem>

#include "FileIdentity.h"
#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "MxfAdvanceRepair/feed/EssenceFeed.h"
#include "MxfAdvanceRepair/feed/MatroskaStream.h"
#include "MxfAdvanceRepair/sample/SampleEssence.h"
#include "MxfAdvanceRepair/feed/TrackSound.h"
#include "MxfAdvanceRepair/codecs/EssenceParser.h"
#include "MxfAdvanceRepair/codecs/RawVideoInput.h"
#include "MxfAdvanceRepair/plan/RepairPlan.h"
#include "TextConvert.h"

namespace vexmend {

namespace {

// Bytes of a picture read ahead of the rest to tell whether it is a key frame.
constexpr size_t kKeyFrameHead = 4096;
// Longest stem of the data files' names in bytes, so that with "_Audio16.dat"
// after it a name stays within every file system's limit of 255.
constexpr size_t kLongestStem = 200;

// The file name cut before its last ".", as the file-system path type names
// it, in UTF-8 and cut to kLongestStem bytes at a character's start.
std::string Stem(const std::wstring& path)
{
    std::wstring::size_type slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    std::wstring::size_type dot = name.rfind(L'.');
    std::string stem = WideToUtf8(dot == std::wstring::npos ? name : name.substr(0, dot));
    if (stem.size() <= kLongestStem) return stem;
    size_t cut = kLongestStem;
    while ((static_cast<uint8_t>(stem[cut]) & 0xC0) == 0x80) --cut;
    return stem.substr(0, cut);
}

}  // namespace

std::string MakeOutputPath(const std::wstring& sourcePath, const std::wstring& target)
{
    try {
        Poco::Path source(WideToUtf8(sourcePath));
        Poco::Path result(WideToUtf8(target));
        Poco::File targetFile(result);
        if (source.getExtension() == "rsv" || source.getExtension() == "klv") {
            source.setExtension("mxf");
        }
        if (!result.toString().empty() && targetFile.exists() && targetFile.isDirectory()) {
            result.makeDirectory();
            result.setFileName(source.getFileName());
        }
        return result.toString();
    } catch (...) {
        return std::string();
    }
}

void DeleteFileIfExists(const std::string& path)
{
    if (path.empty()) return;
    try {
        Poco::File file(path);
        if (file.exists()) file.remove(false);
    } catch (...) {
    }
}

// The pictures of the planned frames, after the sample's stream header
// when the plan asks for it.
void MxfAdvanceRepair::WriteVideoData(EssenceWriter& target) const
{
    FileReader reader(WideToUtf8(videoPath));
    const EssenceParser& parser = FindEssenceParser(sample.videoCodec);
    if (plan.prependStreamHeader)
        target.Write(sample.essence.streamHeader.data(), sample.essence.streamHeader.size());
    for (const OutputFrame& frame : plan.packages.frames) {
        CopyValue(videoSamples[frame.picture], reader, target, &parser);
    }
}

std::optional<MergeInput> MxfAdvanceRepair::FramedInput(const std::string& pathStem,
                                                        const std::vector<SoundTrack>& tracks) const
{
    auto video = MatroskaVideoTrack(sample.videoCodec, frameRate, sample.pictureWidth,
                                    sample.pictureHeight);
    if (SoundOnly() || !video) return std::nullopt;
    std::vector<MatroskaTrack> streams{*video};
    for (const SoundTrack& track : tracks) {
        auto sound = MatroskaSoundTrack(track.stream);
        if (!sound) return std::nullopt;
        streams.push_back(*sound);
    }
    // The rate given exactly: the stream's timestamps count tenths of a
    // millisecond, which the result's container does not take for a rate.
    return MergeInput{{"-r", FrameRateText(frameRate), "-f", "matroska"},
                      pathStem + "_Video.dat",
                      [this, &tracks, streams](EssenceWriter& target) {
                          WriteFramedEssence(tracks, streams, target);
                      },
                      true};
}

void MxfAdvanceRepair::WriteFramedEssence(const std::vector<SoundTrack>& tracks,
                                          const std::vector<MatroskaTrack>& streams,
                                          EssenceWriter& target) const
{
    FileReader reader(WideToUtf8(videoPath));
    const EssenceParser& parser = FindEssenceParser(sample.videoCodec);
    const uint64_t fileSize = static_cast<uint64_t>(videoFileSize);
    MatroskaWriter stream(target, streams);
    std::vector<TrackSound> sounds;
    for (const SoundTrack& track : tracks) sounds.emplace_back(track, fileSize);
    std::vector<uint8_t> head(kKeyFrameHead);
    for (size_t f = 0; f < plan.packages.frames.size(); ++f) {
        // The picture's first bytes tell whether it is a key frame; they go
        // to the encoder from here, the rest straight from the file.
        const EssenceSample picture = HeldPart(videoSamples[plan.packages.frames[f].picture],
                                               fileSize);
        const size_t got = static_cast<size_t>(reader.ReadAt(
            picture.offset, head.data(), std::min<uint64_t>(picture.size, head.size())));
        const bool header = f == 0 && plan.prependStreamHeader;
        stream.BeginBlock(0, f, (header ? sample.essence.streamHeader.size() : 0) + picture.size,
                          parser.IsKeyFrame(head.data(), got));
        if (header)
            target.Write(sample.essence.streamHeader.data(), sample.essence.streamHeader.size());
        parser.BreakFalseStarts(head.data(), got);
        target.Write(head.data(), got);
        if (got == head.size()) {
            EssenceSample rest = picture;
            rest.offset += got;
            rest.size -= got;
            CopyValue(rest, reader, target, &parser);
        }
        stream.EndBlock();
        for (size_t t = 0; t < tracks.size(); ++t) {
            const EssenceSample* entry = plan.packages.frames[f].sounds[t];
            stream.BeginBlock(t + 1, f, sounds[t].Size(entry), true);
            sounds[t].Write(entry, reader, target);
            stream.EndBlock();
        }
    }
}

void MxfAdvanceRepair::LogPlan()
{
    const PackagePlan& packages = plan.packages;
    if (plan.prependStreamHeader) {
        Log(LogLevel::Info, __LINE__, "[MXF] stream header taken from the sample, bytes:",
            uint64_t{sample.essence.streamHeader.size()});
    }
    if (packages.frozen > 0) {
        Log(LogLevel::Info, __LINE__,
            "[MXF] pictures before the first key frame, shown as the key frame:",
            uint64_t{packages.frozen});
    }
    if (packages.repeated > 0 || packages.soundLeftOut > 0) {
        Log(LogLevel::Warning, __LINE__, "[MXF] sound whose picture was lost:",
            std::to_string(packages.repeated) + " pictures repeated, " +
                std::to_string(packages.soundLeftOut) + " sound elements left out");
    }
}

std::wstring MxfAdvanceRepair::GetRepairedVideo(const std::wstring& damagedPath,
                                                const std::wstring& outputDir)
{
    Poco::Path damaged(WideToUtf8(damagedPath));
    if (damaged.getExtension() == "klv") damaged.setExtension("mxf");
    std::wstring result = resultFile.empty()
                              ? Utf8ToWideNoLocale(MakeOutputPath(
                                    Utf8ToWideNoLocale(damaged.toString()), outputDir))
                              : Utf8ToWideNoLocale(resultFile);

    std::string folder = Poco::Path(WideToUtf8(outputDir)).toString();
    std::string pathStem = folder + "/" + Stem(damagedPath);

    const std::vector<SoundTrack> tracks = SelectSoundTracks();
    const EssenceParser& parser = FindEssenceParser(sample.videoCodec);
    const ReadAtFunction read = StageReader();
    // Sound alone is written as found, without pictures to keep step with.
    plan = RepairPlan();
    if (!SoundOnly()) {
        std::vector<std::vector<const EssenceSample*>> elements;
        for (const SoundTrack& track : tracks) elements.push_back(track.elements);
        plan = PlanPictures(read, videoSamples, parser, !sample.essence.streamHeader.empty(),
                            elements);
        LogPlan();
    }
    plan.timecode = FindStartTimecode(read, videoSamples, parser, frameRate);
    if (!plan.timecode) {
        Log(LogLevel::Info, __LINE__, "[MXF] no timecode in the damaged file, the result has none",
            "MxfAdvanceRepair::GetRepairedVideo");
    }
    // Framed essence where the encoder takes it, else raw streams, one an input.
    std::vector<MergeInput> inputs;
    if (std::optional<MergeInput> framed = FramedInput(pathStem, tracks)) {
        inputs.push_back(std::move(*framed));
    } else {
        if (!SoundOnly()) {
            inputs.push_back({RawVideoArguments(sample.videoCodec, frameRate),
                              pathStem + "_Video.dat",
                              [this](EssenceWriter& target) { WriteVideoData(target); }});
        }
        for (MergeInput& input : AudioInputs(pathStem, tracks)) inputs.push_back(std::move(input));
    }

    const std::string resultPath = WideToUtf8(result);
    // A result of an earlier call must never pass for this one's; the
    // damaged file itself is never the result.
    if (SamePath(resultPath, WideToUtf8(damagedPath))) {
        Log(LogLevel::Error, __LINE__,
            "[GetRepairedVideo] result would replace the damaged file:", resultPath);
        return std::wstring();
    }
    if (resultFile.empty()) DeleteFileIfExists(resultPath);
    if (MergeAudioVideo(inputs, resultPath) < 0) {
        Log(LogLevel::Error, __LINE__,
            "[GetRepairedVideo]merge audio and video file by ffmpeg failed.", int32_t{-1});
        DeleteFileIfExists(resultPath);
    } else if (!FindFirstElement(resultPath,
                                 SoundOnly() ? EssenceKind::Audio : EssenceKind::Video)) {
        Log(LogLevel::Error, __LINE__, "[GetRepairedVideo] result holds no essence:", resultPath);
        DeleteFileIfExists(resultPath);
    }
    return result;
}

}  // namespace vexmend
