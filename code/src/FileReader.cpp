#include "FileReader.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace vexmend {

FileReader::FileReader(const std::string& path)
{
    // Unbuffered: every read is one read of the system, into the caller's
    // memory.
    stream.rdbuf()->pubsetbuf(nullptr, 0);
    stream.open(std::filesystem::u8path(path), std::ios::in | std::ios::binary);
    std::error_code error;
    size = std::filesystem::file_size(std::filesystem::u8path(path), error);
    if (!stream || error) throw std::runtime_error("cannot open " + path);
}

uint64_t FileReader::ReadAt(uint64_t offset, uint8_t* destination, uint64_t count)
{
    count = std::min(count, offset < size ? size - offset : 0);
    if (count == 0) return 0;
    stream.clear();
    stream.seekg(static_cast<std::streamoff>(offset), std::ios::beg);
    stream.read(reinterpret_cast<char*>(destination), static_cast<std::streamsize>(count));
    if (stream.bad()) {
        throw std::runtime_error("read failed at offset " + std::to_string(offset));
    }
    return static_cast<uint64_t>(stream.gcount());
}

int32_t FileReader::ReadForWindow(uint64_t offset, uint8_t* destination, uint64_t count) noexcept
{
    try {
        return static_cast<int32_t>(ReadAt(offset, destination, count));
    } catch (const std::exception&) {
        return -1;
    }
}

}  // namespace vexmend
