// The output assembly: the frames that the scan found are read out of the
// damaged file into one framed stream (or, for codecs and sound that it does
// not carry, raw streams), which the encoder wraps as they come.
#include <Poco/File.h>
#include <Poco/Path.h>

#include <algorithm>
#include <filesystem>

#include "FileIdentity.h"
#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "MxfAdvanceRepair/codecs/EssenceParser.h"
#include "MxfAdvanceRepair/feed/FeedInputs.h"
#include "MxfAdvanceRepair/sample/SampleEssence.h"
#include "TextConvert.h"

namespace vexmend {

namespace {

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

// Logs what the plan made of the pictures and the sound.
void LogPlan(LogSink* logger, const FeedSource& source)
{
    const PackagePlan& packages = source.plan.packages;
    if (logger == nullptr) return;
    if (source.plan.prependStreamHeader) {
        logger->Write(LogLevel::Info, __LINE__, "[MXF] stream header taken from the sample, bytes:",
                      uint64_t{source.sample.essence.streamHeader.size()});
    }
    if (packages.frozen > 0) {
        logger->Write(LogLevel::Info, __LINE__,
                      "[MXF] pictures before the first key frame, shown as the key frame:",
                      uint64_t{packages.frozen});
    }
    if (packages.undecodable > 0) {
        logger->Write(LogLevel::Warning, __LINE__,
                      "[MXF] pictures after a gap left out, not to be decoded:",
                      uint64_t{packages.undecodable});
    }
    if (source.plan.endLeftOut > 0) {
        logger->Write(LogLevel::Info, __LINE__,
                      "[MXF] pictures at the end dropped, not to be shown whole:",
                      uint64_t{source.plan.endLeftOut});
    }
    if (packages.repeated > 0 || packages.soundLeftOut > 0) {
        logger->Write(LogLevel::Warning, __LINE__, "[MXF] sound whose picture was lost:",
                      std::to_string(packages.repeated) + " pictures repeated, " +
                          std::to_string(packages.soundLeftOut) + " sound elements left out");
    }
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

    // The feeds read their own copy of the scan's tables, which the plan
    // and the sound tracks point into.
    auto source = std::make_shared<FeedSource>(FeedSource{WideToUtf8(videoPath),
                                                          static_cast<uint64_t>(videoFileSize),
                                                          frameRate,
                                                          sample,
                                                          videoSamples,
                                                          audioSamples,
                                                          {},
                                                          {}});
    SoundSelection selection = SelectSoundTracks(sample, frameRate, source->sounds);
    for (const auto& [message, value] : selection.warnings)
        Log(LogLevel::Warning, __LINE__, message, value);
    source->tracks = std::move(selection.tracks);
    const EssenceParser& parser = FindEssenceParser(sample.videoCodec);
    const ReadAtFunction read = StageReader();
    // Sound alone is written as found, without pictures to keep step with.
    if (!sample.SoundOnly()) {
        std::vector<std::vector<const EssenceSample*>> elements;
        for (const SoundTrack& track : source->tracks) elements.push_back(track.elements);
        source->plan = PlanPictures(read, source->pictures, parser,
                                    !sample.essence.streamHeader.empty(), elements);
        LogPlan(logger, *source);
    }
    source->plan.timecode = FindStartTimecode(read, source->pictures, parser, frameRate);
    if (!source->plan.timecode) {
        Log(LogLevel::Info, __LINE__, "[MXF] no timecode in the damaged file, the result has none",
            "MxfAdvanceRepair::GetRepairedVideo");
    }
    assembly = source;
    const std::vector<MergeInput> inputs = FeedInputs(assembly, pathStem);

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
                                 sample.SoundOnly() ? EssenceKind::Audio : EssenceKind::Video)) {
        Log(LogLevel::Error, __LINE__, "[GetRepairedVideo] result holds no essence:", resultPath);
        DeleteFileIfExists(resultPath);
    }
    // The tables' copy is not kept beyond the merge.
    assembly.reset();
    return result;
}

}  // namespace vexmend
