// Initialisation: where the encoder, the work folder and the log live.
#include <Poco/File.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "EncoderLocation.h"
#include "TextConvert.h"
#include "VideoRepairManager/VideoRepairManager.h"
#include "platform/Platform.h"

namespace vexmend {

std::wstring tempDir;

namespace {

const char* const kLogLevelName = "debug";
const char* const kBannerRule = "####################";

bool EntryExists(const std::wstring& path)
{
    return !path.empty() && Poco::File(WideToNarrow(path)).exists();
}

// Creates the folder with its parents; false when it cannot be made.
bool CreateFolders(const std::wstring& path)
{
    if (path.empty()) return false;
    try {
        Poco::File(WideToNarrow(path)).createDirectories();
        return true;
    } catch (...) {
        return false;
    }
}

// True when the file can be opened for appending (and is made if missing).
bool CanAppend(const std::wstring& path)
{
    return std::ofstream(std::filesystem::u8path(WideToUtf8(path)), std::ios::app).is_open();
}

// A folder argument as wide text. Malformed UTF-8 gives the empty text, which
// names no folder, so that the fallbacks for a missing folder apply.
std::wstring FolderArgument(const char* text)
{
    try {
        return Utf8ToWide(text);
    } catch (const std::invalid_argument&) {
        return std::wstring();
    }
}

}  // namespace

std::wstring GetUserTempFolder()
{
    std::wstring folder = platform::EnvironmentVariable(L"USERPROFILE") + L"\\AppData\\Local\\Temp";
    ReplaceAll(folder, L"\\", L"/");
    return folder;
}

// The log goes first, so that nothing is logged to a sink that is gone.
VideoRepairManager::~VideoRepairManager()
{
    logSink.reset();
    engine.reset();
}

int32_t VideoRepairManager::Initialize(const char* logFolderText, const char* workFolder)
{
    hostFolder = GetHostFolder();
    encoderPath = hostFolder + L"/ffmpeg.exe";
    LogLevel threshold = LogLevelFromName(kLogLevelName);

    if (workFolder != nullptr) tempDir = FolderArgument(workFolder);
    if (!EntryExists(tempDir) && !CreateFolders(tempDir)) {
        std::fputs("Temp dir is not exist.", stdout);
        std::fflush(stdout);
    }
    if (!EntryExists(tempDir)) {
        tempDir = GetUserTempFolder() + L"/VR";
        if (!CreateFolders(tempDir)) {
            std::fputs("Temp dir is not exist, will set current dir.", stdout);
            std::fflush(stdout);
            tempDir.clear();
        }
    }

    // A log folder that takes no log counts as missing, so that there is
    // always a log.
    if (logFolderText != nullptr) logFolder = FolderArgument(logFolderText);
    if (!EntryExists(logFolder) || !CanAppend(logFolder + L"/QorVideoRepair.log")) {
        logFolder = hostFolder;
    }

    // A repeated initialisation replaces the log and the engine; the old
    // engine is closed first so that it holds no file open.
    if (engine) engine->Close();
    engine.reset();
    logSink.reset();
    try {
        logSink = std::make_unique<LogSink>(threshold,
                                            WideToNarrow(logFolder) + "/QorVideoRepair.log");
    } catch (...) {
        return ResultInitFailed;
    }
    try {
        engine = std::make_unique<MxfAdvanceRepair>();
    } catch (...) {
        return ResultInitFailed;
    }
    WriteBanner();
    return ResultOk;
}

void VideoRepairManager::WriteBanner()
{
    logSink->Write(LogLevel::Debug, __LINE__, kBannerRule, "");
    logSink->Write(LogLevel::Info, __LINE__, kBannerRule, "");
    logSink->Write(LogLevel::Info, __LINE__, "", "");
    logSink->Write(LogLevel::Info, __LINE__, "Tessaline v1.1.0", "");
    logSink->Write(LogLevel::Info, __LINE__, __DATE__, __TIME__);
    logSink->Write(LogLevel::Info, __LINE__, "", "");
    logSink->Write(LogLevel::Info, __LINE__, kBannerRule, "");
    logSink->Write(LogLevel::Warning, __LINE__, kBannerRule, "");
    logSink->Write(LogLevel::Error, __LINE__, kBannerRule, "");
}

void VideoRepairManager::ensureTempDir()
{
    if (tempDir.empty() || EntryExists(tempDir)) return;
    if (!CreateFolders(tempDir)) {
        logSink->Write(LogLevel::Error, __LINE__, "Temp dir is invalid",
                       "VideoRepairManager::ensureTempDir");
    }
}

void VideoRepairManager::Destroy()
{
    if (engine) engine->Close();
}

}  // namespace vexmend
