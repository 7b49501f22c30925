#include "MxfAdvanceRepair/SystemItem.h"

#include <algorithm>
#include <cstring>

#include "MxfAdvanceRepair/EssenceElement.h"

namespace vexmend {

namespace {

constexpr uint8_t kSystemMetadataPackKey[16] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01,
                                                0x0D, 0x01, 0x03, 0x01, 0x04, 0x01, 0x01, 0x00};
// In the pack's value: bitmap, rate, type, channel handle, continuity count
// and a label (23 bytes), then the creation and the user date/time stamp,
// each a type byte and 16 bytes.
constexpr size_t kCreationStamp = 23, kUserStamp = 40, kStampSize = 17;
constexpr uint8_t kSmpte12mStamp = 0x81;

}  // namespace

std::optional<Timecode> FindSystemItemTimecode(const uint8_t* bytes, size_t size)
{
    for (size_t at = size; at-- > 0;) {
        if (size - at < sizeof kSystemMetadataPackKey + 1 ||
            std::memcmp(bytes + at, kSystemMetadataPackKey, sizeof kSystemMetadataPackKey) != 0) {
            continue;
        }
        const uint8_t* field = bytes + at + sizeof kSystemMetadataPackKey;
        const BerLength length = DecodeBerLength(field,
                                                 static_cast<uint64_t>(bytes + size - field));
        const uint8_t* value = field + length.fieldSize;
        if (length.value < kUserStamp + kStampSize ||
            length.value > static_cast<uint64_t>(bytes + size - value)) {
            continue;
        }
        for (size_t stamp : {kUserStamp, kCreationStamp}) {
            if (value[stamp] == kSmpte12mStamp) {
                if (auto timecode = DecodeSmpte12m(value + stamp + 1)) return timecode;
            }
        }
    }
    return std::nullopt;
}

}  // namespace vexmend
