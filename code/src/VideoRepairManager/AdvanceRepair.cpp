// The advance repair: the engine scans the damaged file and builds a new one,
// which is then moved to the caller's output path.
#include <Poco/File.h>
#include <Poco/Path.h>

#include "EncoderLocation.h"
#include "TextConvert.h"
#include "VideoRepairManager/Folders.h"
#include "FileIdentity.h"
#include "VideoRepairManager/VideoRepairManager.h"

namespace vexmend {

namespace {

// Refuses, with an error record, inputs that are not regular files or that
// lie in the library's work folders, and an output that would replace an
// input: the output itself, or the file that the result becomes inside an
// output folder.
bool PathsAreSafe(LogSink& log, const std::wstring& damaged, const std::wstring& sample,
                  const std::string& output)
{
    const std::string inputs[] = {WideToUtf8(damaged), WideToUtf8(sample)};
    for (const std::string& input : inputs) {
        if (IsSpecialEntry(input)) {
            log.Write(LogLevel::Error, __LINE__,
                      "[AdvanceRepair] input is not a regular file:", input);
            return false;
        }
        if (LiesInWorkFolders(input)) {
            log.Write(LogLevel::Error, __LINE__,
                      "[AdvanceRepair] input lies in a work folder of the library:", input);
            return false;
        }
    }
    // The file the result becomes: the output itself, or in an output folder
    // the damaged file's name there.
    std::string target = MakeOutputPath(damaged, Utf8ToWideNoLocale(output));
    if (target.empty()) target = output;
    for (const std::string& input : inputs) {
        if (SamePath(target, input)) {
            log.Write(LogLevel::Error, __LINE__,
                      "[AdvanceRepair] output would replace an input:", output);
            return false;
        }
    }
    return true;
}

// Closes the engine's stream on the damaged file when the repair returns, so
// that the host may move or delete the file at once.
struct CloseVideoFileOnReturn {
    MxfAdvanceRepair* engine;
    ~CloseVideoFileOnReturn()
    {
        if (engine != nullptr) engine->CloseVideoFile();
    }
};

}  // namespace

int32_t VideoRepairManager::AdvanceRepair(const char* damagedPath, const char* samplePath,
                                          const char* outputPath)
{
    if (damagedPath == nullptr || samplePath == nullptr) return ResultMissingPath;
    ensureTempDir();

    std::wstring damaged = Utf8ToWide(damagedPath);
    std::wstring sample = Utf8ToWide(samplePath);
    ToForwardSlashes(damaged);
    ToForwardSlashes(sample);
    logSink->Write(LogLevel::Debug, __LINE__, "[AdvanceRepair] Start repair:", damagedPath);
    logSink->Write(LogLevel::Debug, __LINE__, "[AdvanceRepair] Sample video:", samplePath);

    // Without an output path the repaired file could go nowhere.
    if (outputPath == nullptr || *outputPath == '\0') {
        logSink->Write(LogLevel::Error, __LINE__, "[AdvanceRepair] output path is empty",
                       "VideoRepairManager::AdvanceRepair");
        return ResultAdvanceFailed;
    }
    if (!PathsAreSafe(*logSink, damaged, sample, outputPath)) return ResultAdvanceFailed;

    std::wstring resultFolder = WorkSubfolder(L"AdvanceRepairedVideo");
    ToForwardSlashes(resultFolder);
    Poco::File resultFolderEntry(WideToNarrow(resultFolder));
    if (!resultFolderEntry.exists()) resultFolderEntry.createDirectory();

    if (!engine) {
        logSink->Write(LogLevel::Debug, __LINE__, "Repair error.",
                       "VideoRepairManager::AdvanceRepair");
        return ResultAdvanceFailed;
    }
    CloseVideoFileOnReturn closeVideoFile{engine.get()};
    engine->SetLogger(logSink.get());
    engine->SetVideoPath(damaged, sample);
    logSink->Write(LogLevel::Debug, __LINE__, "[AdvanceRepair] start advanced repair ",
                   WideToNarrow(damaged));
    int32_t repaired = engine->Repair();
    if (repaired != 0) {
        logSink->Write(LogLevel::Error, 0, "Repair Failed, return ", repaired);
        return ResultAdvanceFailed;
    }

    logSink->Write(LogLevel::Debug, __LINE__, "[AdvanceRepair] start GetRepairedVideo ",
                   WideToNarrow(damaged));
    const std::string result = WideToNarrow(engine->GetRepairedVideo(damaged, resultFolder));
    logSink->Write(LogLevel::Debug, __LINE__,
                   "AdvanceRepair Completed,advance temp out file:", result);

    EnsureParentFolder(outputPath);

    if (result.empty() || !Poco::File(result).exists()) {
        logSink->Write(LogLevel::Error, __LINE__, "Advance Repair failed",
                       "VideoRepairManager::AdvanceRepair");
        return ResultAdvanceFailed;
    }
    try {
        const char* how = MoveOrCopyFile(result, Poco::Path(outputPath).toString());
        logSink->Write(LogLevel::Debug, __LINE__, std::string("[AdvanceRepair] result moved by ") +
                                                      how + ":", outputPath);
    } catch (...) {
        // The repair has succeeded; the result may stay in the work folder.
    }
    logSink->Write(LogLevel::Debug, __LINE__,
                   "AdvanceRepair Completed,advance out file:", outputPath);
    logSink->Write(LogLevel::Debug, __LINE__,
                   "AdvanceRepair Completed,advance file:", "VideoRepairManager::AdvanceRepair");
    return ResultOk;
}

}  // namespace vexmend
