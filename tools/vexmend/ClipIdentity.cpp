#include "ClipIdentity.h"

#include <algorithm>
#include <vector>

#include "FileReader.h"
#include "HeaderMetadata.h"
#include "MxfAdvanceRepair/codecs/Timecode.h"
#include "MxfAdvanceRepair/mxf/Keys.h"

namespace mxf = vexmend::mxf;

namespace {

using namespace mxfheader;
using Umid = std::array<uint8_t, 32>;

constexpr uint64_t kHeaderReach = 8 << 20;  // the bytes of a damaged file read for its identity

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
