// Windows output pipes: a named pipe, outbound, one instance, written with
// overlapped I/O so that a reader that never comes or goes away never holds
// the writer. Named pipes live outside the file system: the pipe's name ends
// with the data file's name, after a hash of its path and the process's id,
// so that the records of the encoder's arguments still tell the inputs
// apart, and two calls never share a pipe.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "TextConvert.h"
#include "platform/OutputPipe.h"

namespace vexmend::platform {

namespace {

// How often a waiting writer looks at its stop flag.
constexpr DWORD kWaitMilliseconds = 50;
// The pipe's buffer: as large as on POSIX systems.
constexpr DWORD kPipeBuffer = 1 << 20;
// Longest name of a pipe, in UTF-16 code units.
constexpr size_t kLongestPipeName = 256;

// FNV-1a, 64 bits.
uint64_t PathHash(const std::string& path)
{
    uint64_t hash = 0xCBF29CE484222325ull;
    for (unsigned char c : path) hash = (hash ^ c) * 0x100000001B3ull;
    return hash;
}

std::string PipeName(const std::string& path)
{
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "\\\\.\\pipe\\vexmend-%016llx-%lu-",
                  static_cast<unsigned long long>(PathHash(path)), GetCurrentProcessId());
    std::string name = prefix + path.substr(path.find_last_of("\\/") + 1);
    // A name too long for the system keeps the unique part alone.
    return Utf8ToWideNoLocale(name).size() < kLongestPipeName ? name : prefix;
}

// An event for one overlapped operation, closed with it.
class Operation {
public:
    Operation() { overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~Operation()
    {
        if (overlapped.hEvent != nullptr) CloseHandle(overlapped.hEvent);
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    OVERLAPPED* Get() { return overlapped.hEvent != nullptr ? &overlapped : nullptr; }

    // Waits for the operation that `pipe` started: its byte count, or -1
    // when it failed or `stop` was set first (the operation is then
    // cancelled).
    int64_t Finish(HANDLE pipe, const std::atomic<bool>& stop)
    {
        while (WaitForSingleObject(overlapped.hEvent, kWaitMilliseconds) == WAIT_TIMEOUT) {
            if (stop) {
                CancelIoEx(pipe, &overlapped);
                DWORD ignored = 0;
                GetOverlappedResult(pipe, &overlapped, &ignored, TRUE);
                return -1;
            }
        }
        DWORD count = 0;
        return GetOverlappedResult(pipe, &overlapped, &count, FALSE) ? count : -1;
    }

private:
    OVERLAPPED overlapped{};
};

}  // namespace

OutputPipe::OutputPipe(const std::string& path) : name(PipeName(path))
{
    HANDLE pipe = CreateNamedPipeW(
        Utf8ToWideNoLocale(name).c_str(),
        PIPE_ACCESS_OUTBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, kPipeBuffer, 0, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot make the pipe " + name + ": error " +
                                 std::to_string(GetLastError()));
    }
    handle = reinterpret_cast<intptr_t>(pipe);
}

OutputPipe::~OutputPipe() { Close(); }

bool OutputPipe::Connect(const std::atomic<bool>& stop)
{
    if (handle == -1) return false;
    HANDLE pipe = reinterpret_cast<HANDLE>(handle);
    Operation connect;
    if (connect.Get() == nullptr) return false;
    if (ConnectNamedPipe(pipe, connect.Get())) return true;
    switch (GetLastError()) {
    case ERROR_PIPE_CONNECTED: return true;
    case ERROR_IO_PENDING: return connect.Finish(pipe, stop) >= 0;
    default: return false;
    }
}

bool OutputPipe::Write(const uint8_t* data, size_t size, const std::atomic<bool>& stop)
{
    HANDLE pipe = reinterpret_cast<HANDLE>(handle);
    while (size > 0) {
        if (stop || handle == -1) return false;
        Operation write;
        if (write.Get() == nullptr) return false;
        const DWORD part = static_cast<DWORD>(std::min<size_t>(size, kPipeBuffer));
        // A reader that closed its end fails the write (no data, broken pipe).
        if (!WriteFile(pipe, data, part, nullptr, write.Get()) &&
            GetLastError() != ERROR_IO_PENDING) {
            return false;
        }
        const int64_t done = write.Finish(pipe, stop);
        if (done <= 0) return false;
        data += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

// What is written is in the pipe's own buffer: nothing is lent.
bool OutputPipe::Lend(const uint8_t* data, size_t size, const std::atomic<bool>& stop)
{
    return Write(data, size, stop);
}

bool OutputPipe::WaitUnread(uint64_t, const std::atomic<bool>& stop)
{
    return !stop && handle != -1;
}

// The reader still reads what the pipe holds, then finds the end.
void OutputPipe::Close()
{
    if (handle != -1) CloseHandle(reinterpret_cast<HANDLE>(handle));
    handle = -1;
}

}  // namespace vexmend::platform
