// The header metadata of an MXF file (SMPTE ST 377): KLVs and local sets in
// a buffer, the partitions and each one's header metadata in a file that is
// read and written in place.
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "MxfAdvanceRepair/mxf/Keys.h"

namespace mxfheader {

using Bytes = std::vector<uint8_t>;

constexpr size_t kKeySize = 16;

uint64_t BigEndian(const uint8_t* bytes, size_t count);
void PutBigEndian(uint8_t* bytes, size_t count, uint64_t value);

// A KLV in a buffer: where its key and its value begin, and the value's size,
// which may run past the buffer.
struct Klv {
    size_t key = 0, value = 0;
    uint64_t size = 0;
    bool Whole(const Bytes& bytes) const { return size <= bytes.size() - value; }
    size_t End() const { return value + static_cast<size_t>(size); }
};

// The KLV at `at` when its key and BER length are in `bytes`.
std::optional<Klv> KlvAt(const Bytes& bytes, size_t at);

// An item of a local set: its tag and its value's place in the buffer.
struct Item {
    uint16_t tag = 0;
    size_t value = 0, size = 0;
    size_t End() const { return value + size; }
};

// The items of the local set `klv`; nothing when they do not fill its value
// exactly or the value runs past `bytes`.
std::optional<std::vector<Item>> SetItems(const Bytes& bytes, const Klv& klv);

// The item of `tag` whose value has `size` bytes.
const Item* FindItem(const std::vector<Item>& items, uint16_t tag, size_t size);

// A file read and written in place; std::runtime_error on I/O errors.
class InPlaceFile {
public:
    explicit InPlaceFile(const std::string& path);
    // The `count` bytes at `offset`, fewer at the end of the file.
    Bytes Read(uint64_t offset, uint64_t count);
    void Write(uint64_t offset, const Bytes& bytes);

private:
    void Check(const char* what);

    std::fstream stream;
    std::string path;
    uint64_t size = 0;
};

// A local set of a partition's header metadata.
struct Set {
    Klv klv;
    std::vector<Item> items;
    bool Is(const vexmend::mxf::Label& label, const Bytes& bytes) const
    {
        return vexmend::mxf::Matches(label, &bytes[klv.key]);
    }
};

// A partition's header metadata, from its primer pack on, and its local sets.
struct Metadata {
    uint64_t at = 0;
    Bytes bytes;
    std::vector<Set> sets;
};

// Every partition's header metadata, the header partition's first; nothing
// when a partition or its metadata cannot be understood.
std::optional<std::vector<Metadata>> ReadAllMetadata(InPlaceFile& file);

}  // namespace mxfheader
