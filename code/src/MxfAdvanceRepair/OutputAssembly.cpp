// The output assembly: the frames that the scan found are copied out of the
// damaged file into raw data files, which the encoder then wraps.
#include <Poco/File.h>
#include <Poco/FileStream.h>
#include <Poco/Path.h>

#include <algorithm>

#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "TextConvert.h"

namespace vexmend {

namespace {

constexpr size_t kCopyChunk = 1048576;

// Removes the data files when the call that made them ends, also by an error.
class DataFileCleanup {
public:
    explicit DataFileCleanup(std::vector<std::string> paths) : paths(std::move(paths)) {}
    ~DataFileCleanup()
    {
        for (const std::string& path : paths) DeleteFileIfExists(path);
    }
    DataFileCleanup(const DataFileCleanup&) = delete;
    DataFileCleanup& operator=(const DataFileCleanup&) = delete;

private:
    std::vector<std::string> paths;
};

// The file name cut before its last ".", as the file-system path type names it.
std::wstring Stem(const std::wstring& path)
{
    std::wstring::size_type slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    std::wstring::size_type dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
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

// Copies one entry's value in chunks of 1 MiB, each from its own absolute
// position. An entry whose stated size reaches past the end of the damaged
// file gives only the bytes that the file holds.
void MxfAdvanceRepair::CopyEntry(const EssenceSample& entry, std::ostream& target,
                                 std::vector<char>& buffer)
{
    if (videoStream->eof()) videoStream->clear();
    uint64_t done = 0;
    while (done < entry.size) {
        videoStream->clear();
        videoStream->seekg(static_cast<std::streamoff>(entry.offset + done), std::ios::beg);
        uint64_t chunk = std::min<uint64_t>(entry.size - done, kCopyChunk);
        videoStream->read(buffer.data(), static_cast<std::streamsize>(chunk));
        std::streamsize got = videoStream->gcount();
        if (got > 0) target.write(buffer.data(), got);
        if (static_cast<uint64_t>(got) != chunk) break;
        done += chunk;
    }
}

std::wstring MxfAdvanceRepair::GetRepairedVideo(const std::wstring& damagedPath,
                                                const std::wstring& outputDir)
{
    Poco::Path damaged(WideToUtf8(damagedPath));
    if (damaged.getExtension() == "klv") damaged.setExtension("mxf");
    std::wstring result = Utf8ToWideNoLocale(
        MakeOutputPath(Utf8ToWideNoLocale(damaged.toString()), outputDir));

    std::string folder = Poco::Path(WideToUtf8(outputDir)).toString();
    std::string stem = WideToUtf8(Stem(damagedPath));
    std::string videoDataPath = folder + "/" + stem + "_Video.dat";
    std::string audioDataPath = folder + "/" + stem + "_Audio.dat";
    DataFileCleanup cleanup({videoDataPath, audioDataPath});

    std::vector<char> buffer(kCopyChunk);
    // A leftover of an earlier call that ended by an error is emptied first.
    const std::ios::openmode mode = std::ios::out | std::ios::binary | std::ios::trunc;
    {
        Poco::FileOutputStream videoData(videoDataPath, mode);
        for (const EssenceSample& entry : videoSamples) CopyEntry(entry, videoData, buffer);
        videoData.close();
    }
    {
        Poco::FileOutputStream audioData(audioDataPath, mode);
        for (size_t i = 0; i < audioSamples.size(); ++i) {
            if (audioStreamCount == 0 || i % audioStreamCount == 0) {
                CopyEntry(audioSamples[i], audioData, buffer);
            }
        }
        audioData.close();
    }

    if (MergeAudioVideo(videoDataPath, audioDataPath, WideToUtf8(result)) < 0) {
        Log(LogLevel::Error, __LINE__,
            "[GetRepairedVideo]merge audio and video file by ffmpeg failed.", int32_t{-1});
    }
    return result;
}

}  // namespace vexmend
