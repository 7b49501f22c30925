// The general repair: the encoder rewraps the damaged file with stream copy.
#include <Poco/File.h>

#include <optional>
#include <stdexcept>
#include <vector>

#include "FileIdentity.h"
#include "TextConvert.h"
#include "VideoRepairManager/CallFolder.h"
#include "VideoRepairManager/Folders.h"
#include "VideoRepairManager/ResultIndex.h"
#include "VideoRepairManager/TemporaryOutput.h"
#include "VideoRepairManager/VideoRepairManager.h"
#include "platform/ChildProcess.h"

namespace vexmend {

namespace {

// Seconds the encoder may take to report on a result's index, and the
// rewraps with fewer pictures tried before a result whose index points past
// its last picture is given up.
constexpr int64_t kIndexCheckSeconds = 60;
constexpr int kIndexPasses = 4;

bool IsRegularFile(const char* path)
{
    try {
        Poco::File file(path);
        return file.exists() && file.isFile();
    } catch (...) {
        return false;
    }
}

}  // namespace

int32_t VideoRepairManager::GeneralRepair(const char* inputPath, const char* outputPath)
{
    if (inputPath == nullptr) return ResultNoInput;
    logSink->Write(LogLevel::Debug, __LINE__, "Start", "VideoRepairManager::GeneralRepair");
    ensureTempDir();
    if (*inputPath == '\0') return ResultNoInput;
    logSink->Write(LogLevel::Debug, __LINE__, "[GeneralRepair] Start repair:", inputPath);
    // A mistyped path must not pass for a repair of an older file at the output.
    if (!IsRegularFile(inputPath)) {
        logSink->Write(LogLevel::Error, __LINE__,
                       "[GeneralRepair] input is not a file:", inputPath);
        return ResultNoInput;
    }

    if (outputPath == nullptr || *outputPath == '\0') {
        logSink->Write(LogLevel::Error, __LINE__, "[GeneralRepair] output path is empty",
                       "VideoRepairManager::GeneralRepair");
        return ResultNoOutput;
    }
    // Nothing the repair writes or removes may be its input.
    if (LiesInWorkFolders(inputPath)) {
        logSink->Write(LogLevel::Error, __LINE__,
                       "[GeneralRepair] input lies in a work folder of the library:", inputPath);
        return ResultNoOutput;
    }
    if (SamePath(outputPath, inputPath)) {
        logSink->Write(LogLevel::Error, __LINE__,
                       "[GeneralRepair] output would replace an input:", outputPath);
        return ResultNoOutput;
    }

    // The call's own folder in RepairedVideo notes the temporary output, so
    // that a later call removes it should this process die.
    std::optional<CallFolder> call;
    try {
        call.emplace(WideToNarrow(WorkSubfolder(L"RepairedVideo")));
    } catch (...) {
        logSink->Write(LogLevel::Error, __LINE__, "Create repair dir failed",
                       "VideoRepairManager::GeneralRepair");
        return ResultRepairDirFailed;
    }
    std::optional<TemporaryOutput> temporary;
    try {
        temporary.emplace(outputPath);
    } catch (const std::exception& error) {
        logSink->Write(LogLevel::Error, __LINE__,
                       "[GeneralRepair] output cannot be written:", ErrorText(error));
        return ResultNoOutput;
    }
    call->Note(temporary->Path());

    // The encoder reads the input as MXF whatever its extension (rsv, klv).
    int32_t exitStatus = 0;
    int32_t encoderResult = FfmpegRepair(Utf8ToWide(EncoderFileName(inputPath)),
                                         Utf8ToWide(EncoderFileName(temporary->Path())),
                                         exitStatus);
    if (encoderResult == 0 && exitStatus != 0) {
        logSink->Write(LogLevel::Error, __LINE__,
                       "[GeneralRepair] encoder exit status:", exitStatus);
        encoderResult = ResultNoOutput;
    }
    if (encoderResult == 0 && Poco::File(temporary->Path()).getSize() > 0 &&
        DropPicturesPastTheIndex(Utf8ToWide(EncoderFileName(inputPath)), temporary->Path()) == 0) {
        try {
            temporary->Commit();
        } catch (const std::exception& error) {
            logSink->Write(LogLevel::Error, __LINE__,
                           "[GeneralRepair] output cannot be written:", ErrorText(error));
            return ResultNoOutput;
        }
        logSink->Write(LogLevel::Debug, __LINE__,
                       "GeneralRepair Completed,general out file:", outputPath);
        return ResultOk;
    }
    // A file that was at the output before stays as it was.
    if (Poco::File(outputPath).exists()) {
        logSink->Write(LogLevel::Debug, __LINE__,
                       "GeneralRepair Completed,general out file:", outputPath);
        return ResultNoOutput;
    }
    logSink->Write(LogLevel::Error, __LINE__, "GeneralRepair ffmpeg not generate repairedVideo",
                   "VideoRepairManager::GeneralRepair");
    return ResultNoOutput;
}

int32_t VideoRepairManager::DropPicturesPastTheIndex(const std::wstring& input,
                                                     const std::string& path)
{
    // A recording cut short inside a group of pictures ends with pictures
    // shown after ones it no longer holds; each rewrap with fewer pictures
    // leaves out at least one more of them.
    for (int pass = 0;; ++pass) {
        std::optional<uint64_t> past;
        try {
            past = FirstEntryPastTheEnd(WideToUtf8(encoderPath), path, kIndexCheckSeconds);
        } catch (const std::exception& error) {
            logSink->Write(LogLevel::Error, __LINE__,
                           "[GeneralRepair] result's index cannot be checked:", ErrorText(error));
            return ResultNoOutput;
        }
        if (!past) return 0;
        int32_t exitStatus = 0;
        if (pass == kIndexPasses || *past == 0 ||
            FfmpegRepair(input, Utf8ToWide(EncoderFileName(path)), exitStatus, *past) != 0 ||
            exitStatus != 0) {
            logSink->Write(
                LogLevel::Error, __LINE__,
                "[GeneralRepair] result's index points past its last picture, entry:", *past);
            return ResultNoOutput;
        }
        logSink->Write(
            LogLevel::Warning, __LINE__,
            "[GeneralRepair] index points past the last picture, rewrapped up to entry:", *past);
    }
}

int32_t VideoRepairManager::FfmpegRepair(const std::wstring& input, const std::wstring& output,
                                         int32_t& exitStatus, std::optional<uint64_t> videoFrames)
{
    if (!Poco::File(WideToNarrow(encoderPath)).exists()) return ResultEncoderNotStarted;

    // The input is read as MXF only, so that a file whose header is gone fails
    // instead of being rewrapped as a raw stream; every video and audio stream
    // is kept, not just the encoder's pick of one of each. The program gets
    // each path as one argument; the command-line text is what it sees on
    // Windows, where the program is named to the platform on its own. Its
    // path is quoted there too, so that the encoder in a folder such as
    // C:/Program Files/Host reads its own arguments right.
    const std::wstring frames = videoFrames ? L"-frames:v " + std::to_wstring(*videoFrames) + L" "
                                            : L"";
    const std::wstring commandLine = L"\"" + encoderPath + L"\" -y -f mxf -i \"" + input +
                                     L"\" -map 0:v? -map 0:a? -codec copy " + frames + L"\"" +
                                     output + L"\"";
    std::vector<std::string> arguments{"-y",   "-f",   "mxf",  "-i",   WideToUtf8(input),
                                       "-map", "0:v?", "-map", "0:a?", "-codec",
                                       "copy"};
    if (videoFrames) arguments.insert(arguments.end(), {"-frames:v", std::to_string(*videoFrames)});
    arguments.push_back(WideToUtf8(output));
    try {
        platform::ChildProcess encoder(WideToUtf8(encoderPath), arguments, false,
                                       WideToUtf8(commandLine));
        {
            std::lock_guard<std::mutex> guard(processLock);
            encoderProcessId = encoder.Id();
        }
        exitStatus = encoder.Wait();
    } catch (const std::runtime_error&) {
        return ResultEncoderNotStarted;
    }
    {
        std::lock_guard<std::mutex> guard(processLock);
        encoderProcessId = 0;
    }
    logSink->Write(LogLevel::Debug, __LINE__, "ffmpeg Repair completed.",
                   "VideoRepairManager::FfmpegRepair");
    return 0;
}

}  // namespace vexmend
