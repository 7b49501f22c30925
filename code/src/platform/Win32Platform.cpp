// Windows implementation of the platform layer.
#include "platform/Platform.h"

#include <windows.h>

namespace vexmend::platform {

std::wstring ExecutablePath()
{
    wchar_t path[260] = {};
    // No module handle: the host program's file, not this library's.
    GetModuleFileNameW(nullptr, path, 260);
    return std::wstring(path);
}

std::wstring EnvironmentVariable(const std::wstring& name)
{
    wchar_t value[1024] = {};
    DWORD length = GetEnvironmentVariableW(name.c_str(), value, 1024);
    if (length == 0 || length >= 1024) return std::wstring();
    return std::wstring(value, length);
}

bool StartHiddenProcess(wchar_t* commandLine, ProcessInformation& info)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process)) {
        info.process = process.hProcess;
        info.thread = process.hThread;
        return false;
    }
    info.process = process.hProcess;
    info.thread = process.hThread;
    info.processId = process.dwProcessId;
    info.threadId = process.dwThreadId;
    return true;
}

int32_t WaitForProcess(const ProcessInformation& info)
{
    HANDLE process = static_cast<HANDLE>(info.process);
    WaitForSingleObject(process, INFINITE);
    DWORD status = 0;
    if (!GetExitCodeProcess(process, &status)) return -1;
    // NTSTATUS codes of a crash (0xC0000005 and the like) come out negative.
    return static_cast<int32_t>(status);
}

void CloseProcessHandles(const ProcessInformation& info)
{
    CloseHandle(static_cast<HANDLE>(info.thread));
    CloseHandle(static_cast<HANDLE>(info.process));
}

}  // namespace vexmend::platform
