// SMPTE keys: labels matched whatever their version, and pictures found
// again whose keys were destroyed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "MxfAdvanceRepair/codecs/EssenceParser.h"
#include "MxfAdvanceRepair/mxf/Keys.h"
#include "MxfAdvanceRepair/scan/KeylessPictures.h"

namespace vexmend {
namespace {

using Bytes = std::vector<uint8_t>;
const uint8_t kVideoHeader[16] = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02, 0x01, 0x01,
                                  0x0D, 0x01, 0x03, 0x01, 0x15, 0x01, 0x01, 0x01};

// Labels match whatever version of the registry a writer used, except the
// essence element key, which keeps its own; a label of another concept or
// pattern does not match.
TEST(Keys, MatchTheirConceptWhateverTheVersion)
{
    const Bytes op1a{0x06, 0x0E, 0x2B, 0x34, 0x04, 0x01, 0x01, 0x01,
                     0x0D, 0x01, 0x02, 0x01, 0x01, 0x01, 0x09, 0x00};
    const struct {
        const char* name;
        const mxf::Label& label;
        Bytes bytes;
        bool matches;
    } rows[] = {
        {"OP-Atom of version 2",
         mxf::kOpAtomPattern,
         {0x06, 0x0E, 0x2B, 0x34, 0x04, 0x01, 0x01, 0x02, 0x0D, 0x01, 0x02, 0x01, 0x10, 0, 0, 0},
         true},
        {"OP1a is not OP-Atom", mxf::kOpAtomPattern, op1a, false},
        {"a body partition of version 2",
         mxf::kPartitionPack,
         {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x02, 0x0D, 0x01, 0x02, 0x01, 0x01, 3, 4, 0},
         true},
        {"a fill item of version 2",
         mxf::kFillItem,
         {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x02, 0x03, 0x01, 0x02, 0x10, 0x01, 0, 0, 0},
         true},
        {"a picture element", mxf::kEssenceElement, Bytes(kVideoHeader, kVideoHeader + 16), true},
        {"a picture element's key of version 2",
         mxf::kEssenceElement,
         {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02, 0x01, 0x02, 0x0D, 0x01, 0x03, 0x01, 0x15, 1, 1, 1},
         false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(mxf::Matches(row.label, row.bytes.data()), row.matches) << row.name;
}

// Small MPEG-2 pictures (elements of 90 to 123 bytes) with fill items of 62
// to 84 bytes between them: the pictures whose keys were destroyed are
// found with their own lengths (though their bytes hold a fill item's key
// by chance), and nothing else, whether the last of the file is one of them
// or not.
TEST(KeylessPictures, FoundByTheirHeaderAndTheirLengthField)
{
    for (const std::vector<size_t>& lost : {std::vector<size_t>{3, 7}, {0, 11}, {}}) {
        Bytes file(40), fill{0x06, 0x0E, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x02,
                             0x03, 0x01, 0x02, 0x10, 0x01, 0,    0,    0};
        std::vector<EssenceSample> pictures, expected;
        for (size_t n = 0; n < 12; ++n) {
            const size_t size = 90 + 3 * n;
            Bytes value(size, 0x55);
            value[0] = value[1] = 0, value[2] = 1, value[3] = 0, value[5] = 0x08;  // an I picture
            std::copy_n(mxf::kFillItem.bytes, 16, value.begin() + 70);  // a key by chance
            const uint64_t at = file.size() + 17;
            EssenceSample picture{1, size, at, EssenceKind::Video, 0x15010101};
            const bool keyless = std::count(lost.begin(), lost.end(), n) > 0;
            (keyless ? expected : pictures).push_back(picture);
            Bytes element(kVideoHeader, kVideoHeader + 16);
            if (keyless) std::fill_n(element.begin(), 16, 0);
            element.push_back(uint8_t(size));
            element.insert(element.end(), value.begin(), value.end());
            file.insert(file.end(), element.begin(), element.end());
            fill.resize(16);
            fill.push_back(uint8_t(45 + 2 * n));
            fill.resize(fill.size() + 45 + 2 * n, 0);
            file.insert(file.end(), fill.begin(), fill.end());
        }
        auto read = [&file](uint64_t offset, uint8_t* destination, uint64_t count) {
            count = std::min<uint64_t>(count, offset < file.size() ? file.size() - offset : 0);
            std::memcpy(destination, file.data() + offset, count);
            return count;
        };
        if (lost.size() == 2 && lost[0] == 0) pictures.insert(pictures.begin(), expected[0]);
        if (lost.size() == 2 && lost[0] == 0) expected.erase(expected.begin());
        std::string found;
        for (const EssenceSample& e :
             FindKeylessPictures(read, file.size(), pictures, {}, MpegVideoParser(), 0)) {
            found += std::to_string(e.offset) + "+" + std::to_string(e.size) + " ";
        }
        std::string wanted;
        for (const EssenceSample& e : expected)
            wanted += std::to_string(e.offset) + "+" + std::to_string(e.size) + " ";
        EXPECT_EQ(found, wanted);
    }
}

}  // namespace
}  // namespace vexmend
