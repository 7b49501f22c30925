#include "RepairProcess.h"

#include "LoadedLibrary.h"
#include "StopSignal.h"
#include "platform/ChildProcess.h"
#include "vexmend.h"

namespace {

// Exit statuses 11 to 17 stand for -2050 to -2056.
constexpr int kFirstCodeStatus = 11;

}  // namespace

int ExitStatus(int32_t code)
{
    if (code == VEXMEND_OK) return 0;
    if (code == VEXMEND_NO_MANAGER) return 10;
    if (code <= VEXMEND_INIT_FAILED && code >= VEXMEND_ADVANCE_FAILED) {
        return kFirstCodeStatus + static_cast<int>(VEXMEND_INIT_FAILED - code);
    }
    return 2;
}

int32_t ResultCode(int exitStatus)
{
    if (exitStatus == 0) return VEXMEND_OK;
    if (exitStatus == 10) return VEXMEND_NO_MANAGER;
    const int last = kFirstCodeStatus + (VEXMEND_INIT_FAILED - VEXMEND_ADVANCE_FAILED);
    if (exitStatus >= kFirstCodeStatus && exitStatus <= last) {
        return VEXMEND_INIT_FAILED - (exitStatus - kFirstCodeStatus);
    }
    return kRepairProcessFailed;
}

int32_t RunRepairProcess(const RepairFolders& folders, const std::vector<std::string>& command)
{
    std::vector<std::string> arguments{"--log-dir", folders.log, "--work-dir", folders.work};
    arguments.insert(arguments.end(), command.begin(), command.end());
    // The child's destructor ends it, and with it its encoder.
    vexmend::platform::ChildProcess child(ProgramPath(), arguments, false);
    for (;;) {
        if (std::optional<int32_t> status = child.TryWait(100)) return ResultCode(*status);
        ThrowIfStopped();
    }
}
