#include "StagedFile.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "StopSignal.h"

namespace fs = std::filesystem;

namespace {

uint64_t FileSize(const std::string& path)
{
    std::error_code error;
    uint64_t size = fs::file_size(fs::u8path(path), error);
    return error ? 0 : size;
}

}  // namespace

void Concatenate(const std::vector<std::string>& parts, const std::string& target)
{
    std::ofstream to(fs::u8path(target), std::ios::binary);
    std::vector<char> block(1 << 20);
    uint64_t size = 0;
    for (const std::string& part : parts) {
        std::ifstream from(fs::u8path(part), std::ios::binary);
        while (from && to) {
            ThrowIfStopped();
            from.read(block.data(), static_cast<std::streamsize>(block.size()));
            to.write(block.data(), from.gcount());
        }
        if (!to) break;
        if (!from.eof()) throw std::runtime_error("cannot read " + part);
        size += FileSize(part);
    }
    if (!to.flush() || FileSize(target) != size) {
        throw std::runtime_error("cannot write " + target + " whole");
    }
}

StagedFile::~StagedFile()
{
    std::error_code error;
    fs::remove(fs::u8path(path), error);
}
