// The general repair: the encoder rewraps the damaged file with stream copy.
#include <Poco/File.h>
#include <Poco/Path.h>

#include <vector>

#include "TextConvert.h"
#include "VideoRepairManager/Folders.h"
#include "VideoRepairManager/VideoRepairManager.h"

namespace vexmend {

namespace {

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

    const std::wstring repairFolder = WorkSubfolder(L"RepairedVideo");
    try {
        Poco::File folder(WideToNarrow(repairFolder));
        if (!folder.exists()) folder.createDirectories();
    } catch (...) {
        logSink->Write(LogLevel::Error, __LINE__, "Create repair dir failed",
                       "VideoRepairManager::GeneralRepair");
        return ResultRepairDirFailed;
    }

    if (outputPath == nullptr || *outputPath == '\0') {
        logSink->Write(LogLevel::Error, __LINE__, "[GeneralRepair] output path is empty",
                       "VideoRepairManager::GeneralRepair");
        return ResultNoOutput;
    }
    EnsureParentFolder(outputPath);

    // The encoder tells containers apart by extension: a raw recorder file
    // (rsv, klv) is shown to it as an mxf copy. A file of that name beside the
    // input is never touched; the copy then goes to the repair folder.
    Poco::Path input(inputPath);
    std::string copyPath;
    if (input.getExtension() == "rsv" || input.getExtension() == "klv") {
        input.setExtension("mxf");
        if (Poco::File(input).exists()) {
            input = Poco::Path(WideToNarrow(repairFolder))
                        .makeDirectory()
                        .setFileName(input.getFileName());
        }
        copyPath = input.toString();
        try {
            Poco::File(inputPath).copyTo(copyPath);
        } catch (...) {
            // The encoder is still given the mxf name; it finds no file there.
        }
    }
    const std::wstring encoderInput = Utf8ToWide(input.toString());
    const std::wstring encoderOutput = Utf8ToWide(outputPath);

    int32_t exitStatus = 0;
    const int32_t encoderResult = FfmpegRepair(encoderInput, encoderOutput, exitStatus);

    if (!copyPath.empty()) {
        try {
            Poco::File copy(copyPath);
            if (copy.exists()) copy.remove();
        } catch (...) {
        }
    }

    // A failed run may leave a partial result; with -y it has replaced any
    // older file there. An output path that names the input is never removed.
    const bool encoderFailed = encoderResult == 0 && exitStatus != 0;
    if (encoderFailed) {
        logSink->Write(LogLevel::Error, __LINE__,
                       "[GeneralRepair] encoder exit status:", exitStatus);
        try {
            Poco::File output(outputPath);
            if (output.exists() && !SameFile(inputPath, outputPath)) output.remove();
        } catch (...) {
        }
    }

    if (Poco::File(outputPath).exists()) {
        logSink->Write(LogLevel::Debug, __LINE__,
                       "GeneralRepair Completed,general out file:", encoderOutput);
        return encoderResult < 0 || encoderFailed ? ResultNoOutput : ResultOk;
    }
    logSink->Write(LogLevel::Error, __LINE__, "GeneralRepair ffmpeg not generate repairedVideo",
                   "VideoRepairManager::GeneralRepair");
    return ResultNoOutput;
}

int32_t VideoRepairManager::FfmpegRepair(const std::wstring& input, const std::wstring& output,
                                         int32_t& exitStatus)
{
    if (!Poco::File(WideToNarrow(encoderPath)).exists()) return ResultEncoderNotStarted;

    // The input is read as MXF only, so that a file whose header is gone fails
    // instead of being rewrapped as a raw stream; every video and audio stream
    // is kept, not just the encoder's pick of one of each.
    // The encoder's path is quoted too: unquoted, a host folder such as
    // C:/Program Files/Host would have Windows start C:/Program.exe.
    const std::wstring commandLine = L"\"" + encoderPath + L"\" -y -f mxf -i \"" + input +
                                     L"\" -map 0:v? -map 0:a? -codec copy \"" + output + L"\"";
    // The platform may change the buffer while it parses the line.
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');

    encoderProcess = platform::ProcessInformation();
    bool started = platform::StartHiddenProcess(buffer.data(), encoderProcess);
    if (started) exitStatus = platform::WaitForProcess(encoderProcess);
    {
        std::lock_guard<std::mutex> guard(processLock);
        if (encoderProcess.thread != nullptr && encoderProcess.process != nullptr) {
            platform::CloseProcessHandles(encoderProcess);
            encoderProcess = platform::ProcessInformation();
        }
    }
    if (!started) return ResultEncoderNotStarted;
    logSink->Write(LogLevel::Debug, __LINE__, "ffmpeg Repair completed.",
                   "VideoRepairManager::FfmpegRepair");
    return 0;
}

}  // namespace vexmend
