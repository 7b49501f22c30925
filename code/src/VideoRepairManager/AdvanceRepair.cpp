// The advance repair: the engine scans the damaged file and builds a new one,
// which then replaces the caller's output file whole.
#include <Poco/File.h>

#include <optional>

#include "EncoderLocation.h"
#include "FileIdentity.h"
#include "TextConvert.h"
#include "VideoRepairManager/CallFolder.h"
#include "VideoRepairManager/Folders.h"
#include "VideoRepairManager/TemporaryOutput.h"
#include "VideoRepairManager/VideoRepairManager.h"

namespace vexmend {

namespace {

// The file that the result becomes: the output itself, or in an output
// folder the damaged file's name there. Empty, after an error record, when
// an input is not a regular file or lies in the library's work folders, or
// when the result would replace an input.
std::string ResultTarget(LogSink& log, const std::wstring& damaged, const std::wstring& sample,
                         const std::string& output)
{
    const std::string inputs[] = {WideToUtf8(damaged), WideToUtf8(sample)};
    for (const std::string& input : inputs) {
        if (IsSpecialEntry(input)) {
            log.Write(LogLevel::Error, __LINE__,
                      "[AdvanceRepair] input is not a regular file:", input);
            return std::string();
        }
        if (LiesInWorkFolders(input)) {
            log.Write(LogLevel::Error, __LINE__,
                      "[AdvanceRepair] input lies in a work folder of the library:", input);
            return std::string();
        }
    }
    std::string target = MakeOutputPath(damaged, Utf8ToWideNoLocale(output));
    if (target.empty()) target = output;
    for (const std::string& input : inputs) {
        if (SamePath(target, input)) {
            log.Write(LogLevel::Error, __LINE__,
                      "[AdvanceRepair] output would replace an input:", output);
            return std::string();
        }
    }
    return target;
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

    // Without an output path the repaired file could go nowhere, and
    // without a sample the frames cannot be described.
    if (outputPath == nullptr || *outputPath == '\0' || *samplePath == '\0') {
        logSink->Write(LogLevel::Error, __LINE__, "[AdvanceRepair] output or sample path is empty",
                       "VideoRepairManager::AdvanceRepair");
        return ResultAdvanceFailed;
    }
    const std::string target = ResultTarget(*logSink, damaged, sample, outputPath);
    if (target.empty()) return ResultAdvanceFailed;
    if (!engine) {
        logSink->Write(LogLevel::Debug, __LINE__, "Repair error.",
                       "VideoRepairManager::AdvanceRepair");
        return ResultAdvanceFailed;
    }

    // The call's own folder in AdvanceRepairedVideo takes the encoder's input
    // pipes; the temporary output beside the output shows at once that the
    // output's folder takes files, before the scan.
    std::wstring resultFolder = WorkSubfolder(L"AdvanceRepairedVideo");
    ToForwardSlashes(resultFolder);
    std::optional<CallFolder> call;
    std::optional<TemporaryOutput> temporary;
    try {
        call.emplace(WideToNarrow(resultFolder));
        temporary.emplace(target);
        call->Note(temporary->Path());
    } catch (const std::exception& error) {
        logSink->Write(LogLevel::Error, __LINE__,
                       "[AdvanceRepair] output cannot be written:", ErrorText(error));
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
    // The encoder writes the temporary output itself: nothing is moved.
    engine->SetResultFile(temporary->Path());
    const std::string result = WideToNarrow(
        engine->GetRepairedVideo(damaged, Utf8ToWide(call->Path())));
    engine->SetResultFile(std::string());
    logSink->Write(LogLevel::Debug, __LINE__,
                   "AdvanceRepair Completed,advance temp out file:", result);

    if (result.empty() || !Poco::File(result).exists()) {
        logSink->Write(LogLevel::Error, __LINE__, "Advance Repair failed",
                       "VideoRepairManager::AdvanceRepair");
        return ResultAdvanceFailed;
    }
    try {
        temporary->Commit();
    } catch (const std::exception& error) {
        logSink->Write(LogLevel::Error, __LINE__,
                       "[AdvanceRepair] output cannot be written:", ErrorText(error));
        return ResultAdvanceFailed;
    }
    logSink->Write(LogLevel::Debug, __LINE__,
                   "AdvanceRepair Completed,advance out file:", outputPath);
    logSink->Write(LogLevel::Debug, __LINE__,
                   "AdvanceRepair Completed,advance file:", "VideoRepairManager::AdvanceRepair");
    return ResultOk;
}

}  // namespace vexmend
