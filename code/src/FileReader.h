// Reads a file at absolute positions, as the repair's feeds and the host's
// scan command read the damaged file: never past the size that the file had
// when it was opened, and without a buffer of its own, so that a large read
// goes straight into its destination.
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>

namespace vexmend {

// Reads up to `count` bytes at absolute `offset` into `destination`; the
// number of bytes read, 0 when none could be. The stages read the damaged
// file through one of these, so that they can be tested on bytes in memory.
using ReadAtFunction =
    std::function<uint64_t(uint64_t offset, uint8_t* destination, uint64_t count)>;

class FileReader {
public:
    // Throws std::runtime_error when `path` (UTF-8) cannot be opened.
    explicit FileReader(const std::string& path);

    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    uint64_t Size() const { return size; }

    // Reads up to `count` bytes at `offset`: fewer only at the end of the
    // size. Throws std::runtime_error when the file cannot be read.
    uint64_t ReadAt(uint64_t offset, uint8_t* destination, uint64_t count);

    // ReadAt for a StreamBuffer's window: -1 when the file cannot be read,
    // which ends a walk there as the file's end would.
    int32_t ReadForWindow(uint64_t offset, uint8_t* destination, uint64_t count) noexcept;

private:
    std::ifstream stream;
    uint64_t size = 0;
};

}  // namespace vexmend
