#include "HeaderMetadata.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;
namespace mxf = vexmend::mxf;

namespace mxfheader {

namespace {

constexpr uint64_t kRunInReach = 65536;        // the longest run-in before the header partition
constexpr uint64_t kMetadataLimit = 64 << 20;  // the most header metadata a partition may have
constexpr size_t kPartitionPackSize = 88;      // a pack's fixed items and batch header
constexpr int kFillItemsLimit = 16;  // fill items passed over between a pack and its metadata

// A partition pack: where it is and ends, the partition before it (counted
// from the header partition), the footer's and its header metadata's size.
struct Partition {
    uint64_t at = 0, end = 0, previous = 0, footer = 0, headerBytes = 0;
};

std::optional<Partition> PartitionAt(InPlaceFile& file, uint64_t at)
{
    const Bytes bytes = file.Read(at, kKeySize + 9 + kPartitionPackSize);
    const auto klv = KlvAt(bytes, 0);
    if (!klv || !mxf::Matches(mxf::kPartitionPack, bytes.data()) ||
        bytes[13] < mxf::kHeaderPartition || bytes[13] > mxf::kFooterPartition ||
        klv->size < kPartitionPackSize || klv->size > kMetadataLimit ||
        bytes.size() < klv->value + kPartitionPackSize) {
        return std::nullopt;
    }
    const uint8_t* value = &bytes[klv->value];
    return Partition{at, at + klv->value + klv->size, BigEndian(value + 16, 8),
                     BigEndian(value + 24, 8), BigEndian(value + 32, 8)};
}

// The header partition's pack in the run-in's reach: where it is.
std::optional<uint64_t> FindHeaderPartition(InPlaceFile& file)
{
    const Bytes bytes = file.Read(0, kRunInReach + kKeySize);
    for (size_t at = 0; at + kKeySize <= bytes.size(); ++at) {
        if (mxf::Matches(mxf::kPartitionPack, &bytes[at]) &&
            bytes[at + 13] == mxf::kHeaderPartition)
            return at;
    }
    return std::nullopt;
}

// The header metadata after `partition`'s pack (and the fill after it):
// its bytes as far as the byte count reaches from the primer pack, and the
// sets among them, up to anything that is no metadata (a partition pack,
// an index table segment, essence), for a writer may count the fill after
// the pack in too. Nothing when it cannot be understood.
std::optional<Metadata> ReadMetadata(InPlaceFile& file, const Partition& partition)
{
    Metadata metadata;
    metadata.at = partition.end;
    for (int fills = 0;; ++fills) {
        const Bytes head = file.Read(metadata.at, kKeySize + 9);
        const auto klv = KlvAt(head, 0);
        if (!klv || klv->size > kMetadataLimit || fills > kFillItemsLimit) return std::nullopt;
        if (mxf::Matches(mxf::kPrimerPack, head.data())) break;
        if (!mxf::Matches(mxf::kFillItem, head.data())) return std::nullopt;
        metadata.at += klv->value + klv->size;
    }
    if (partition.headerBytes > kMetadataLimit) return std::nullopt;
    metadata.bytes = file.Read(metadata.at, partition.headerBytes);
    const Bytes& bytes = metadata.bytes;
    for (size_t at = 0; at < bytes.size();) {
        const auto klv = KlvAt(bytes, at);
        if (!klv || !klv->Whole(bytes)) break;
        const uint8_t* key = &bytes[at];
        if (std::memcmp(key, mxf::kUlDesignator, 4) != 0) return std::nullopt;
        if (mxf::Matches(mxf::kPartitionPack, key) && !mxf::Matches(mxf::kPrimerPack, key)) break;
        if (mxf::Matches(mxf::kEssenceElement, key)) break;
        if (key[5] == mxf::kLocalSetWithTwoByteLengths) {
            if (mxf::Matches(mxf::kIndexTableSegment, key)) break;
            auto items = SetItems(bytes, *klv);
            if (!items) return std::nullopt;
            metadata.sets.push_back({*klv, std::move(*items)});
        }
        at = klv->End();
    }
    return metadata;
}

}  // namespace

uint64_t BigEndian(const uint8_t* bytes, size_t count)
{
    uint64_t value = 0;
    while (count--) value = value << 8 | *bytes++;
    return value;
}

void PutBigEndian(uint8_t* bytes, size_t count, uint64_t value)
{
    while (count--) {
        bytes[count] = static_cast<uint8_t>(value);
        value >>= 8;
    }
}

std::optional<Klv> KlvAt(const Bytes& bytes, size_t at)
{
    if (at > bytes.size() || bytes.size() - at < kKeySize + 1) return std::nullopt;
    const uint8_t first = bytes[at + kKeySize];
    const size_t following = first & 0x80 ? first & 0x7F : 0;
    if (following > 8 || bytes.size() - at - kKeySize - 1 < following) return std::nullopt;
    const uint64_t size = following ? BigEndian(&bytes[at + kKeySize + 1], following) : first;
    return Klv{at, at + kKeySize + 1 + following, size};
}

std::optional<std::vector<Item>> SetItems(const Bytes& bytes, const Klv& klv)
{
    if (!klv.Whole(bytes)) return std::nullopt;
    std::vector<Item> items;
    for (size_t at = klv.value; at < klv.End();) {
        if (klv.End() - at < 4) return std::nullopt;
        const Item item{static_cast<uint16_t>(BigEndian(&bytes[at], 2)), at + 4,
                        static_cast<size_t>(BigEndian(&bytes[at + 2], 2))};
        if (item.size > klv.End() - item.value) return std::nullopt;
        items.push_back(item);
        at = item.value + item.size;
    }
    return items;
}

const Item* FindItem(const std::vector<Item>& items, uint16_t tag, size_t size)
{
    for (const Item& item : items)
        if (item.tag == tag && item.size == size) return &item;
    return nullptr;
}

InPlaceFile::InPlaceFile(const std::string& path)
    : stream(fs::u8path(path), std::ios::in | std::ios::out | std::ios::binary), path(path)
{
    if (!stream) throw std::runtime_error("cannot open " + path);
    stream.seekg(0, std::ios::end);
    size = static_cast<uint64_t>(stream.tellg());
    Check("read");
}

Bytes InPlaceFile::Read(uint64_t offset, uint64_t count)
{
    Bytes bytes(offset < size ? std::min(count, size - offset) : 0);
    stream.seekg(static_cast<std::streamoff>(offset));
    stream.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    Check("read");
    return bytes;
}

void InPlaceFile::Write(uint64_t offset, const Bytes& bytes)
{
    stream.seekp(static_cast<std::streamoff>(offset));
    stream.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
    stream.flush();
    Check("write");
}

void InPlaceFile::Check(const char* what)
{
    if (!stream) throw std::runtime_error(std::string("cannot ") + what + " " + path);
}

std::optional<std::vector<Metadata>> ReadAllMetadata(InPlaceFile& file)
{
    const auto runIn = FindHeaderPartition(file);
    const auto header = runIn ? PartitionAt(file, *runIn) : std::nullopt;
    if (!header || header->headerBytes == 0) return std::nullopt;
    std::vector<Partition> partitions{*header};
    // The footer and the partitions before it, each naming the one before.
    for (uint64_t at = header->footer; at > 0;) {
        const auto partition = PartitionAt(file, *runIn + at);
        if (!partition || partition->previous >= at) return std::nullopt;
        partitions.push_back(*partition);
        at = partition->previous;
    }
    std::vector<Metadata> all;
    for (const Partition& partition : partitions) {
        if (partition.headerBytes == 0) continue;
        auto metadata = ReadMetadata(file, partition);
        if (!metadata) return std::nullopt;
        all.push_back(std::move(*metadata));
    }
    return all;
}

}  // namespace mxfheader
