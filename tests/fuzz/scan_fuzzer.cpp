// Fuzzes the damaged-file scan: the engine's walk over each input must find
// what the reference walk finds, with a window, look-ahead, byte limit and
// shrunk file chosen by the input's first four bytes and with the engine's own
// sizes. The key test and the prefix search run on exact-size heap copies, so
// that AddressSanitizer reports any read past the bytes offered.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "MxfAdvanceRepair/scan/EssenceElement.h"
#include "support/ReferenceWalk.h"

using namespace vexmend;

namespace {

void Expect(const std::string& what, const std::string& engine, const std::string& reference)
{
    if (engine == reference) return;
    std::fprintf(stderr, "mismatch in %s:\nengine    %s\nreference %s\n", what.c_str(),
                 engine.c_str(), reference.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4) return 0;
    const uint64_t fileSize = size - 4;
    std::unique_ptr<uint8_t[]> file(new uint8_t[std::max<uint64_t>(fileSize, 1)]);
    std::memcpy(file.get(), data + 4, fileSize);

    // Window of 17 to 1037 bytes, look-ahead of 1 byte up to it, a byte limit
    // of 0 to 1016 or the engine's, and a file that shrank after it was measured.
    test::WalkSettings small;
    small.capacity = 17 + 4 * uint64_t{data[0]};
    small.lookAhead = 1 + (small.capacity - 1) * data[1] / 255;
    if (data[2] < 128) small.limit = 8 * uint64_t{data[2]};
    if (data[3] < 16) small.readable = fileSize * data[3] / 16;
    for (const test::WalkSettings& settings : {small, test::WalkSettings()}) {
        Expect("walk", test::Describe(test::EngineWalk(file.get(), fileSize, settings)),
               test::Describe(test::WalkFile(file.get(), fileSize, settings)));
    }

    // The key test at the first positions, on copies of at most 32 bytes cut
    // to some count, against the reference's key test.
    for (uint64_t p = 0; p < std::min<uint64_t>(fileSize, 32); ++p) {
        const uint64_t count = std::min<uint64_t>(fileSize - p, 32) - (data[4 + p] & 1);
        std::unique_ptr<uint8_t[]> copy(new uint8_t[std::max<uint64_t>(count, 1)]);
        std::memcpy(copy.get(), file.get() + p, count);
        const EssenceSample s = MatchEssenceKey(copy.get(), count);
        const test::ReferenceElement r = test::MatchReferenceHeader(copy.get(), count);
        Expect("key test at " + std::to_string(p),
               test::Describe({{{s.offset, s.size, s.found ? int(s.kind) : 2, 0}}}),
               test::Describe({{{r.offset, r.size, r.size != 0 ? r.kind : 2, 0}}}));
    }

    // The prefix search reads three bytes past its last position: exactly to the end.
    if (fileSize >= 3) {
        uint64_t expected = 0;
        while (expected < fileSize - 3 && std::memcmp(file.get() + expected, mxf::kUlDesignator, 4))
            ++expected;
        Expect("prefix search", std::to_string(FindKeyPrefixStart(file.get(), fileSize - 3)),
               std::to_string(expected));
    }
    return 0;
}
