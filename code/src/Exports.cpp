// The library's four exported functions. Each forwards to the one repair
// manager and turns anything thrown below into a result code: no exception
// crosses into the host. Calls that overlap run one after the other.
#include <exception>
#include <mutex>
#include <string>

#include "VideoRepairManager/VideoRepairManager.h"
#include "vexmend.h"

using vexmend::LogLevel;
using vexmend::VideoRepairManager;

namespace {

// Created by the first QorMxfInit; lives until the process ends.
VideoRepairManager* manager = nullptr;

// Held for the whole of every exported call: the manager and its engine
// serve one call at a time, and a second caller waits.
std::mutex callLock;

void LogFailure(const char* operation, const std::string& what)
{
    if (manager == nullptr || manager->Log() == nullptr) return;
    try {
        manager->Log()->Write(LogLevel::Error, __LINE__,
                              std::string(operation) + " failed: " + what, operation);
    } catch (...) {
    }
}

// Runs `body`, mapping every exception to `failure` with an error record.
template <typename Body>
int32_t Guarded(const char* operation, int32_t failure, Body body)
{
    try {
        return body();
    } catch (const std::exception& error) {
        LogFailure(operation, vexmend::ErrorText(error));
    } catch (...) {
        LogFailure(operation, "unknown error");
    }
    return failure;
}

// True when initialisation made both the log and the engine.
bool ManagerReady() { return manager->Log() != nullptr && manager->Engine() != nullptr; }

}  // namespace

extern "C" {

VEXMEND_API int32_t QorMxfInit(const char* logFolder, intptr_t /*reserved*/, const char* workFolder)
{
    std::lock_guard<std::mutex> serialised(callLock);
    return Guarded("VideoRepairManager::Initialize", vexmend::ResultInitFailed, [&] {
        if (manager == nullptr) manager = new VideoRepairManager();
        return manager->Initialize(logFolder, workFolder);
    });
}

VEXMEND_API void QorMxfDestroy(void)
{
    std::lock_guard<std::mutex> serialised(callLock);
    Guarded("VideoRepairManager::Destroy", 0, [] {
        if (manager != nullptr) manager->Destroy();
        return 0;
    });
}

VEXMEND_API int32_t QorMxfGeneralRepair(const char* inputPath, const char* outputPath)
{
    std::lock_guard<std::mutex> serialised(callLock);
    if (manager == nullptr) return vexmend::ResultNoManager;
    return Guarded("VideoRepairManager::GeneralRepair", vexmend::ResultNoOutput, [&] {
        if (inputPath == nullptr) return vexmend::ResultNoInput;
        if (!ManagerReady()) return vexmend::ResultNoOutput;
        return manager->GeneralRepair(inputPath, outputPath);
    });
}

VEXMEND_API int32_t QorMxfAdvanceRepair(const char* damagedPath, const char* samplePath,
                                        const char* outputPath)
{
    std::lock_guard<std::mutex> serialised(callLock);
    if (manager == nullptr) return vexmend::ResultNoManager;
    return Guarded("VideoRepairManager::AdvanceRepair", vexmend::ResultAdvanceFailed, [&] {
        if (damagedPath == nullptr || samplePath == nullptr) return vexmend::ResultMissingPath;
        if (!ManagerReady()) return vexmend::ResultAdvanceFailed;
        return manager->AdvanceRepair(damagedPath, samplePath, outputPath);
    });
}

}  // extern "C"
