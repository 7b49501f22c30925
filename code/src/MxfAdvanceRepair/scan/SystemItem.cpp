#include "MxfAdvanceRepair/scan/SystemItem.h"

#include <algorithm>
#include <cstring>

#include "MxfAdvanceRepair/scan/EssenceElement.h"

namespace vexmend {

namespace {

// In the pack's value: bitmap, rate, type, channel handle, continuity count
// and a label (23 bytes), then the creation and the user date/time stamp,
// each a type byte and 16 bytes.
constexpr size_t kCreationStamp = 23, kUserStamp = 40, kStampSize = 17;
constexpr uint8_t kSmpte12mStamp = 0x81;

}  // namespace

std::optional<Timecode> FindSystemItemTimecode(const uint8_t* bytes, size_t size, double frameRate)
{
    for (size_t at = size; at-- > 0;) {
        const mxf::Label& key = mxf::kSystemMetadataPack;
        if (size - at < key.size + 1 || !mxf::Matches(key, bytes + at)) continue;
        const uint8_t* field = bytes + at + key.size;
        const BerLength length = DecodeBerLength(field,
                                                 static_cast<uint64_t>(bytes + size - field));
        const uint8_t* value = field + length.fieldSize;
        if (length.value < kUserStamp + kStampSize ||
            length.value > static_cast<uint64_t>(bytes + size - value)) {
            continue;
        }
        for (size_t stamp : {kUserStamp, kCreationStamp}) {
            if (value[stamp] == kSmpte12mStamp) {
                if (auto timecode = DecodeSmpte12m(value + stamp + 1, frameRate)) return timecode;
            }
        }
    }
    return std::nullopt;
}

}  // namespace vexmend
