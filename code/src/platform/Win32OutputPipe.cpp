// Windows output "pipes": a data file at the path, written whole before the
// encoder starts; named pipes are not used on Windows yet.
#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "TextConvert.h"
#include "platform/OutputPipe.h"

namespace vexmend::platform {

OutputPipe::OutputPipe(const std::string& path) : name(path)
{
    HANDLE file = CreateFileW(Utf8ToWideNoLocale(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot make the data file " + path + ": error " +
                                 std::to_string(GetLastError()));
    }
    handle = reinterpret_cast<intptr_t>(file);
}

OutputPipe::~OutputPipe()
{
    Close();
    DeleteFileW(Utf8ToWideNoLocale(name).c_str());
}

bool OutputPipe::Connect(const std::atomic<bool>& stop) { return !stop && handle != -1; }

bool OutputPipe::Write(const uint8_t* data, size_t size, const std::atomic<bool>& stop)
{
    while (size > 0) {
        if (stop || handle == -1) return false;
        DWORD written = 0;
        const DWORD part = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
        // A full disk is a failure of the input, not a reader that left.
        if (!WriteFile(reinterpret_cast<HANDLE>(handle), data, part, &written, nullptr)) {
            throw std::runtime_error("cannot write the data file " + name + ": error " +
                                     std::to_string(GetLastError()));
        }
        data += written;
        size -= written;
    }
    return true;
}

// A data file holds what was written: nothing is lent, nothing waits.
bool OutputPipe::Lend(const uint8_t* data, size_t size, const std::atomic<bool>& stop)
{
    return Write(data, size, stop);
}

bool OutputPipe::WaitUnread(uint64_t, const std::atomic<bool>& stop)
{
    return !stop && handle != -1;
}

void OutputPipe::Close()
{
    if (handle != -1) CloseHandle(reinterpret_cast<HANDLE>(handle));
    handle = -1;
}

}  // namespace vexmend::platform
