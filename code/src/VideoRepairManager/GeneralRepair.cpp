// The general repair: the encoder rewraps the damaged file with stream copy.
#include <Poco/File.h>
#include <Poco/Path.h>

#include <stdexcept>
#include <vector>

#include "FileIdentity.h"
#include "TextConvert.h"
#include "VideoRepairManager/Folders.h"
#include "VideoRepairManager/VideoRepairManager.h"
#include "platform/ChildProcess.h"

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
    // Nothing the repair writes or removes may be its input: not the output,
    // and not the recorder-file copy, which may land in RepairedVideo.
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
    EnsureParentFolder(outputPath);

    // The encoder tells containers apart by extension: a raw recorder file
    // (rsv, klv) is shown to it as an mxf copy, beside the input or else in
    // the repair folder. The copy never replaces a file, nor the output; when
    // none can be made, the encoder reads the input itself.
    Poco::Path input(inputPath);
    std::string copyPath;
    if (input.getExtension() == "rsv" || input.getExtension() == "klv") {
        input.setExtension("mxf");
        const std::string inRepairFolder = Poco::Path(WideToNarrow(repairFolder))
                                               .makeDirectory()
                                               .setFileName(input.getFileName())
                                               .toString();
        copyPath = CopyToNewFile(inputPath, {input.toString(), inRepairFolder}, outputPath);
        input = Poco::Path(copyPath.empty() ? std::string(inputPath) : copyPath);
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
    // older file there. (An output path that names the input was refused.)
    const bool encoderFailed = encoderResult == 0 && exitStatus != 0;
    if (encoderFailed) {
        logSink->Write(LogLevel::Error, __LINE__,
                       "[GeneralRepair] encoder exit status:", exitStatus);
        try {
            Poco::File output(outputPath);
            if (output.exists()) output.remove();
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
    // is kept, not just the encoder's pick of one of each. The program gets
    // each path as one argument; the command-line text is what it sees on
    // Windows, where the program is named to the platform on its own. Its
    // path is quoted there too, so that the encoder in a folder such as
    // C:/Program Files/Host reads its own arguments right.
    const std::wstring commandLine = L"\"" + encoderPath + L"\" -y -f mxf -i \"" + input +
                                     L"\" -map 0:v? -map 0:a? -codec copy \"" + output + L"\"";
    const std::vector<std::string> arguments{
        "-y",   "-f",   "mxf",    "-i",   WideToUtf8(input), "-map", "0:v?",
        "-map", "0:a?", "-codec", "copy", WideToUtf8(output)};
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
