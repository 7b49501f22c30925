// Windows child processes: CreateProcessW with the program named as the
// application (never looked up from the command line), no window, standard
// streams on NUL and no other inherited handle, inside a job object that
// kills it and its children when stopped or when the host ends.
#include "platform/ChildProcess.h"

#include <windows.h>

#include <stdexcept>

#include "TextConvert.h"
#include "platform/CommandLine.h"

namespace vexmend::platform {

namespace {

HANDLE OpenNullDevice(DWORD access)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                       0, nullptr);
}

// Inheritable handles given to the child, closed once it has them.
struct StandardHandles {
    HANDLE input = INVALID_HANDLE_VALUE;
    HANDLE output = INVALID_HANDLE_VALUE;
    HANDLE error = INVALID_HANDLE_VALUE;
    ~StandardHandles()
    {
        for (HANDLE handle : {input, output, error}) {
            if (handle != INVALID_HANDLE_VALUE && handle != nullptr) CloseHandle(handle);
        }
    }
};

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           bool captureError, const std::string& givenCommandLine)
{
    const std::wstring application = Utf8ToWideNoLocale(program);
    std::wstring commandLine = Utf8ToWideNoLocale(givenCommandLine);
    if (commandLine.empty()) {
        commandLine = QuoteArgument(application);
        for (const std::string& argument : arguments) {
            commandLine += L" " + QuoteArgument(Utf8ToWideNoLocale(argument));
        }
    }

    StandardHandles handles;
    handles.input = OpenNullDevice(GENERIC_READ);
    handles.output = OpenNullDevice(GENERIC_WRITE);
    if (captureError) {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE readEnd = nullptr;
        if (!CreatePipe(&readEnd, &handles.error, &inherit, 0)) {
            throw std::runtime_error("cannot make a pipe for " + program);
        }
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        errorPipe = reinterpret_cast<intptr_t>(readEnd);
    } else {
        handles.error = OpenNullDevice(GENERIC_WRITE);
    }

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = handles.input;
    startup.StartupInfo.hStdOutput = handles.output;
    startup.StartupInfo.hStdError = handles.error;
    // The child inherits its three standard handles and no other handle
    // that the host made inheritable.
    HANDLE inherited[] = {handles.input, handles.output, handles.error};
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<char> list(listSize);
    startup.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
    if (!InitializeProcThreadAttributeList(startup.lpAttributeList, 1, 0, &listSize)) {
        throw std::runtime_error("cannot start " + program);
    }
    struct AttributeList {
        LPPROC_THREAD_ATTRIBUTE_LIST list;
        ~AttributeList() { DeleteProcThreadAttributeList(list); }
    } attributes{startup.lpAttributeList};
    UpdateProcThreadAttribute(startup.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                              inherited, sizeof inherited, nullptr, nullptr);
    PROCESS_INFORMATION started{};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW | CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT, nullptr,
                        nullptr, &startup.StartupInfo, &started)) {
        if (errorPipe != -1) CloseHandle(reinterpret_cast<HANDLE>(errorPipe));
        throw std::runtime_error("cannot start " + program);
    }
    process = started.hProcess;
    id = started.dwProcessId;
    job = CreateJobObjectW(nullptr, nullptr);
    if (job != nullptr) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        AssignProcessToJobObject(job, process);
    }
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
}

ChildProcess::~ChildProcess()
{
    if (!TryWait()) Kill();
    if (errorPipe != -1) CloseHandle(reinterpret_cast<HANDLE>(errorPipe));
    if (job != nullptr) CloseHandle(job);
    CloseHandle(process);
}

std::optional<int32_t> ChildProcess::TryWait(int timeoutMilliseconds)
{
    if (!exitStatus &&
        WaitForSingleObject(process, static_cast<DWORD>(timeoutMilliseconds)) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process, &code);
        exitStatus = static_cast<int32_t>(code);
    }
    return exitStatus;
}

int32_t ChildProcess::Wait()
{
    WaitForSingleObject(process, INFINITE);
    return *TryWait();
}

void ChildProcess::Kill()
{
    if (!exitStatus) {
        if (job != nullptr) TerminateJobObject(job, 1);
        TerminateProcess(process, 1);
    }
    Wait();
}

int64_t ChildProcess::ReadError(char* buffer, size_t size, int timeoutMilliseconds)
{
    if (errorPipe == -1) return 0;
    HANDLE pipe = reinterpret_cast<HANDLE>(errorPipe);
    // Anonymous pipes cannot wait with a time limit: look, then sleep briefly.
    for (int waited = 0;; waited += 20) {
        DWORD waiting = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr)) return 0;
        if (waiting > 0) break;
        if (waited >= timeoutMilliseconds) return -1;
        Sleep(20);
    }
    DWORD got = 0;
    DWORD wanted = static_cast<DWORD>(size > 0x10000 ? 0x10000 : size);
    if (!ReadFile(pipe, buffer, wanted, &got, nullptr)) return 0;
    return got;
}

}  // namespace vexmend::platform
