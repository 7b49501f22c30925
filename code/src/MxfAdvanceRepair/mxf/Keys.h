// Every SMPTE Universal Label that the library matches, named after the
// concept it stands for and the document that defines it. A label is
// matched on its first `size` bytes, all but the eighth, the registry's
// version byte, in which writers differ; the essence element's key alone is
// matched with its version byte, as the scan has always recognised it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vexmend::mxf {

struct Label {
    uint8_t bytes[16];
    size_t size;             // the bytes compared, from the first; more than eight
    bool versioned = false;  // the version byte is compared too
};

// The byte of a label that matches ignore.
constexpr size_t kVersionByte = 7;

// SMPTE ST 336: the four bytes that begin every SMPTE key (object
// identifier, UL code and SMPTE designator).
constexpr uint8_t kUlDesignator[4] = {0x06, 0x0E, 0x2B, 0x34};

// ST 379-1: a generic container essence element. Byte 13 is the item type,
// 14 the element count, 15 the element type, 16 the element number; the
// last four are the essence track's number.
constexpr Label kEssenceElement{
    {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02, 0x01, 0x01, 0x0D, 0x01, 0x03, 0x01}, 12, true};

// Item types, byte 13 of an essence element key: ST 326 (SDTI-CP) picture
// and sound, ST 379-1 (generic container) picture, sound and compound.
constexpr uint8_t kCpPictureItem = 0x05, kCpSoundItem = 0x06, kGcPictureItem = 0x15,
                  kGcSoundItem = 0x16, kGcCompoundItem = 0x18;

// ST 326 and ST 331, as ST 385 maps them into MXF: the system metadata pack
// of a content package's system item, with its creation and user date/time
// stamps (ST 331 section 8.3).
constexpr Label kSystemMetadataPack{{0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01, 0x0D, 0x01,
                                     0x03, 0x01, 0x04, 0x01, 0x01, 0x00},
                                    16};

// ST 377-1: a partition pack. Byte 14 tells header, body or footer, byte 15
// its status.
constexpr Label kPartitionPack{
    {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01, 0x0D, 0x01, 0x02, 0x01, 0x01}, 13};

// ST 377-1: byte 14 of a partition pack's key for a header, body or footer
// partition; the same 13 bytes begin the primer pack, the index table
// segment and the random index pack too.
constexpr uint8_t kHeaderPartition = 0x02, kBodyPartition = 0x03, kFooterPartition = 0x04;

// ST 377-1: the primer pack, which maps the header metadata's local tags to
// labels.
constexpr Label kPrimerPack{{0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01, 0x0D, 0x01, 0x02, 0x01,
                             0x01, 0x05, 0x01, 0x00},
                            16};

// ST 377-1: an index table segment.
constexpr Label kIndexTableSegment{{0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0D, 0x01,
                                    0x02, 0x01, 0x01, 0x10, 0x01, 0x00},
                                   16};

// ST 377-1: byte 6 of a key of a local set whose items have two-byte local
// tags and two-byte lengths, as header metadata sets and index table
// segments have.
constexpr uint8_t kLocalSetWithTwoByteLengths = 0x53;

// ST 377-1: a structural header metadata set; byte 15 tells which, as the
// sets below name it.
constexpr Label kStructuralSet{
    {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0D, 0x01, 0x01, 0x01, 0x01, 0x01}, 14};
constexpr Label kMaterialPackage{{0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0D, 0x01, 0x01,
                                  0x01, 0x01, 0x01, 0x36, 0x00},
                                 16};
constexpr Label kSourcePackage{{0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0D, 0x01, 0x01,
                                0x01, 0x01, 0x01, 0x37, 0x00},
                               16};
constexpr Label kTimecodeComponent{{0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0D, 0x01,
                                    0x01, 0x01, 0x01, 0x01, 0x14, 0x00},
                                   16};

// ST 377-1: local tags of the header metadata items that make a clip's
// identity: a package's PackageUID (a 32-byte UMID); a timecode component's
// StartTimecode (frames, 8 bytes), RoundedTimecodeBase (frames a second, 2
// bytes) and DropFrame (1 byte).
constexpr uint16_t kPackageUidTag = 0x4401, kStartTimecodeTag = 0x1501,
                   kRoundedTimecodeBaseTag = 0x1502, kDropFrameTag = 0x1503;

// ST 377-1: a KLV fill item, matched on its first nine bytes, as writers
// register it under more than one label after them.
constexpr Label kFillItem{{0x06, 0x0E, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x01, 0x03}, 9};

// ST 377-1 with ST 390: the operational pattern label of OP-Atom, as a
// partition pack names it.
constexpr Label kOpAtomPattern{
    {0x06, 0x0E, 0x2B, 0x34, 0x04, 0x01, 0x01, 0x01, 0x0D, 0x01, 0x02, 0x01, 0x10}, 13};

// Whether the `label.size` bytes at `bytes` are `label`, the version byte
// aside unless the label is versioned. Fixed-size compares: the compiler
// makes them a few word compares.
inline bool Matches(const Label& label, const uint8_t* bytes)
{
    if (label.versioned) return std::memcmp(bytes, label.bytes, label.size) == 0;
    return std::memcmp(bytes, label.bytes, kVersionByte) == 0 &&
           std::memcmp(bytes + kVersionByte + 1, label.bytes + kVersionByte + 1,
                       label.size - kVersionByte - 1) == 0;
}

}  // namespace vexmend::mxf
