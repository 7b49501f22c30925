#include "ClipIdentity.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "FileReader.h"
#include "MxfAdvanceRepair/codecs/Timecode.h"
#include "MxfAdvanceRepair/mxf/Keys.h"

namespace fs = std::filesystem;
namespace mxf = vexmend::mxf;

namespace {

using Bytes = std::vector<uint8_t>;
using Umid = std::array<uint8_t, 32>;

constexpr uint64_t kHeaderReach = 8 << 20;     // the bytes of a damaged file read for its identity
constexpr uint64_t kRunInReach = 65536;        // the longest run-in before the header partition
constexpr uint64_t kMetadataLimit = 64 << 20;  // the most header metadata a partition may have
constexpr size_t kKeySize = 16, kPartitionPackSize = 88;  // a pack's fixed items and batch header
constexpr int kFillItemsLimit = 16;  // fill items passed over between a pack and its metadata

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

// A KLV in a buffer: where its key and its value begin, and the value's size,
// which may run past the buffer.
struct Klv {
    size_t key = 0, value = 0;
    uint64_t size = 0;
    bool Whole(const Bytes& bytes) const { return size <= bytes.size() - value; }
    size_t End() const { return value + static_cast<size_t>(size); }
};

// The KLV at `at` when its key and BER length are in `bytes`.
std::optional<Klv> KlvAt(const Bytes& bytes, size_t at)
{
    if (at > bytes.size() || bytes.size() - at < kKeySize + 1) return std::nullopt;
    const uint8_t first = bytes[at + kKeySize];
    const size_t following = first & 0x80 ? first & 0x7F : 0;
    if (following > 8 || bytes.size() - at - kKeySize - 1 < following) return std::nullopt;
    const uint64_t size = following ? BigEndian(&bytes[at + kKeySize + 1], following) : first;
    return Klv{at, at + kKeySize + 1 + following, size};
}

// An item of a local set: its tag and its value's place in the buffer.
struct Item {
    uint16_t tag = 0;
    size_t value = 0, size = 0;
    size_t End() const { return value + size; }
};

// The items of the local set `klv`; nothing when they do not fill its value
// exactly or the value runs past `bytes`.
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

// The item of `tag` whose value has `size` bytes.
const Item* FindItem(const std::vector<Item>& items, uint16_t tag, size_t size)
{
    for (const Item& item : items)
        if (item.tag == tag && item.size == size) return &item;
    return nullptr;
}

std::optional<Umid> PackageUid(const Bytes& bytes, const std::vector<Item>& items)
{
    const Item* item = FindItem(items, mxf::kPackageUidTag, 32);
    if (!item) return std::nullopt;
    Umid umid{};
    std::copy_n(bytes.begin() + item->value, umid.size(), umid.begin());
    return umid;
}

// A timecode component's counting: its StartTimecode item, frames a second
// and drop-frame flag.
struct TimecodeCount {
    const Item* start = nullptr;
    int base = 0;
    bool drop = false;
};

std::optional<TimecodeCount> ReadTimecodeCount(const Bytes& bytes, const std::vector<Item>& items)
{
    const Item* start = FindItem(items, mxf::kStartTimecodeTag, 8);
    const Item* base = FindItem(items, mxf::kRoundedTimecodeBaseTag, 2);
    const Item* drop = FindItem(items, mxf::kDropFrameTag, 1);
    if (!start || !base) return std::nullopt;
    const int rate = static_cast<int>(BigEndian(&bytes[base->value], 2));
    if (rate < 1 || rate > 240) return std::nullopt;
    return TimecodeCount{start, rate, drop && bytes[drop->value] != 0};
}

// Dropped frame numbers a minute, as Timecode::Plus counts them.
int64_t DroppedPerMinute(int base, bool drop) { return drop ? base / 15 : 0; }

// The timecode of frame number `number` (a StartTimecode) of `count`.
std::string TimecodeText(int64_t number, const TimecodeCount& count)
{
    vexmend::Timecode zero;
    zero.dropFrame = count.drop;
    return zero.Plus(number, count.base).Text();
}

// The frame number of `timecode` counted as `count` does; nothing when its
// frames do not fit the count's rate.
std::optional<int64_t> FrameNumber(const vexmend::Timecode& timecode, const TimecodeCount& count)
{
    if (timecode.frames >= count.base) return std::nullopt;
    const int64_t minutes = timecode.hours * 60 + timecode.minutes;
    return (minutes * 60 + timecode.seconds) * count.base + timecode.frames -
           DroppedPerMinute(count.base, count.drop) * (minutes - minutes / 10);
}

// A file read and written in place; std::runtime_error on I/O errors.
class InPlaceFile {
public:
    explicit InPlaceFile(const std::string& path)
        : stream(fs::u8path(path), std::ios::in | std::ios::out | std::ios::binary), path(path)
    {
        if (!stream) throw std::runtime_error("cannot open " + path);
        stream.seekg(0, std::ios::end);
        size = static_cast<uint64_t>(stream.tellg());
        Check("read");
    }

    // The `count` bytes at `offset`, fewer at the end of the file.
    Bytes Read(uint64_t offset, uint64_t count)
    {
        Bytes bytes(offset < size ? std::min(count, size - offset) : 0);
        stream.seekg(static_cast<std::streamoff>(offset));
        stream.read(reinterpret_cast<char*>(bytes.data()),
                    static_cast<std::streamsize>(bytes.size()));
        Check("read");
        return bytes;
    }

    void Write(uint64_t offset, const Bytes& bytes)
    {
        stream.seekp(static_cast<std::streamoff>(offset));
        stream.write(reinterpret_cast<const char*>(bytes.data()),
                     static_cast<std::streamsize>(bytes.size()));
        stream.flush();
        Check("write");
    }

private:
    void Check(const char* what)
    {
        if (!stream) throw std::runtime_error(std::string("cannot ") + what + " " + path);
    }

    std::fstream stream;
    std::string path;
    uint64_t size = 0;
};

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

// A local set of a partition's header metadata.
struct Set {
    Klv klv;
    std::vector<Item> items;
    bool Is(const mxf::Label& label, const Bytes& bytes) const
    {
        return mxf::Matches(label, &bytes[klv.key]);
    }
};

// A partition's header metadata, from its primer pack on, and its local sets.
struct Metadata {
    uint64_t at = 0;
    Bytes bytes;
    std::vector<Set> sets;
};

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

// Every partition's header metadata, the header partition's first; nothing
// when a partition or its metadata cannot be understood.
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

// Replaces `from` by `to` wherever it is in `item`'s value.
void ReplaceUmid(Bytes& bytes, const Item& item, const Umid& from, const Umid& to)
{
    for (size_t at = item.value; item.size >= from.size() && at <= item.End() - from.size();) {
        if (std::equal(from.begin(), from.end(), bytes.begin() + at)) {
            std::copy(to.begin(), to.end(), bytes.begin() + at);
            at += from.size();
        } else {
            ++at;
        }
    }
}

}  // namespace

std::optional<vexmend::Timecode> ParseTimecode(const std::string& text)
{
    if (text.size() != 11 || text[2] != ':' || text[5] != ':') return std::nullopt;
    const std::string separators = ":;.,";
    if (separators.find(text[8]) == std::string::npos) return std::nullopt;
    int fields[4];
    for (int n = 0; n < 4; ++n) {
        const char high = text[n * 3], low = text[n * 3 + 1];
        if (high < '0' || high > '9' || low < '0' || low > '9') return std::nullopt;
        fields[n] = (high - '0') * 10 + (low - '0');
    }
    if (fields[0] > 23 || fields[1] > 59 || fields[2] > 59) return std::nullopt;
    return vexmend::Timecode{fields[0], fields[1], fields[2], fields[3], text[8] != ':'};
}

ClipIdentity HeaderIdentity(const std::string& path)
{
    ClipIdentity identity;
    Bytes bytes;
    try {
        vexmend::FileReader reader(path);
        bytes.resize(std::min(reader.Size(), kHeaderReach));
        bytes.resize(reader.ReadAt(0, bytes.data(), bytes.size()));
    } catch (const std::exception&) {
        return identity;
    }
    // The sets are looked for byte by byte, so that a damaged partition pack
    // or primer pack does not hide them.
    for (size_t at = 0; at + kKeySize < bytes.size(); ++at) {
        if (bytes[at] != mxf::kUlDesignator[0] || !mxf::Matches(mxf::kStructuralSet, &bytes[at]))
            continue;
        const auto klv = KlvAt(bytes, at);
        const auto items = klv ? SetItems(bytes, *klv) : std::nullopt;
        if (!items) continue;
        const Set set{*klv, *items};
        if (set.Is(mxf::kMaterialPackage, bytes) && !identity.materialUmid) {
            identity.materialUmid = PackageUid(bytes, set.items);
        } else if (set.Is(mxf::kSourcePackage, bytes) && !identity.fileUmid) {
            identity.fileUmid = PackageUid(bytes, set.items);
        } else if (set.Is(mxf::kTimecodeComponent, bytes) && identity.timecode.empty()) {
            if (const auto count = ReadTimecodeCount(bytes, set.items)) {
                const int64_t start = static_cast<int64_t>(
                    BigEndian(&bytes[count->start->value], 8));
                identity.timecode = TimecodeText(start, *count);
                identity.timecodeFrom = "header";
            }
        }
        at = klv->End() - 1;
    }
    return identity;
}

bool WriteIdentity(const std::string& resultPath, const ClipIdentity& identity)
{
    InPlaceFile file(resultPath);
    auto all = ReadAllMetadata(file);
    if (!all) return false;
    // The result's own package UIDs, as its header partition states them.
    std::optional<Umid> ownMaterial, ownFile;
    const Metadata& header = all->front();
    for (const Set& set : header.sets) {
        if (set.Is(mxf::kMaterialPackage, header.bytes) && !ownMaterial)
            ownMaterial = PackageUid(header.bytes, set.items);
        if (set.Is(mxf::kSourcePackage, header.bytes) && !ownFile)
            ownFile = PackageUid(header.bytes, set.items);
    }
    const auto timecode = ParseTimecode(identity.timecode);
    for (Metadata& metadata : *all) {
        const Bytes before = metadata.bytes;
        Bytes& bytes = metadata.bytes;
        for (const Set& set : metadata.sets) {
            for (const Item& item : set.items) {
                if (ownMaterial && identity.materialUmid)
                    ReplaceUmid(bytes, item, *ownMaterial, *identity.materialUmid);
                if (ownFile && identity.fileUmid)
                    ReplaceUmid(bytes, item, *ownFile, *identity.fileUmid);
            }
            if (!timecode || !set.Is(mxf::kTimecodeComponent, bytes)) continue;
            const auto count = ReadTimecodeCount(bytes, set.items);
            const auto number = count ? FrameNumber(*timecode, *count) : std::nullopt;
            if (number)
                PutBigEndian(&bytes[count->start->value], 8, static_cast<uint64_t>(*number));
        }
        if (bytes != before) file.Write(metadata.at, bytes);
    }
    return true;
}
