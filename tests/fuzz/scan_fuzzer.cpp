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
#include <vector>

#include "MxfAdvanceRepair/EssenceElement.h"
#include "support/ReferenceWalk.h"

using namespace vexmend;

namespace {

void Expect(const char* what, uint64_t engine, uint64_t reference)
{
    if (engine == reference) return;
    std::fprintf(stderr, "mismatch in %s: engine %llu, reference %llu\n", what,
                 static_cast<unsigned long long>(engine),
                 static_cast<unsigned long long>(reference));
    std::abort();
}

void CompareWalks(const uint8_t* file, uint64_t size, const test::WalkSettings& settings)
{
    const test::WalkOutcome engine = test::EngineWalk(file, size, settings);
    const test::WalkOutcome reference = test::ReferenceOutcome(file, size, settings);
    const auto first = std::mismatch(engine.elements.begin(), engine.elements.end(),
                                     reference.elements.begin(), reference.elements.end());
    Expect("elements up to", first.first - engine.elements.begin(), engine.elements.size());
    Expect("element count", engine.elements.size(), reference.elements.size());
    Expect("unrecognised bytes", std::get<0>(engine.end), std::get<0>(reference.end));
    Expect("byte limit reached", std::get<1>(engine.end), std::get<1>(reference.end));
    Expect("end position", std::get<2>(engine.end), std::get<2>(reference.end));
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
    CompareWalks(file.get(), fileSize, small);
    CompareWalks(file.get(), fileSize, test::WalkSettings());

    // The key test at the first positions, on copies of at most 32 bytes cut
    // to some count, against the reference's key test.
    for (uint64_t p = 0; p < std::min<uint64_t>(fileSize, 32); ++p) {
        const uint64_t count = std::min<uint64_t>(fileSize - p, 32) - (data[4 + p] & 1);
        std::unique_ptr<uint8_t[]> copy(new uint8_t[std::max<uint64_t>(count, 1)]);
        std::memcpy(copy.get(), file.get() + p, count);
        const EssenceSample sample = MatchEssenceKey(copy.get(), count);
        const test::ReferenceElement header = test::MatchReferenceHeader(copy.get(), count);
        Expect("key size", sample.size, header.size);
        Expect("key header", sample.offset, header.offset);
        Expect("key found", sample.found, header.size != 0);
        if (header.size != 0) Expect("key kind", static_cast<uint64_t>(sample.kind), header.kind);
    }

    // The prefix search reads three bytes past its last position: exactly to the end.
    if (fileSize >= 3) {
        uint64_t expected = 0;
        while (expected < fileSize - 3 && std::memcmp(file.get() + expected, kEssenceKeyPrefix, 4))
            ++expected;
        Expect("prefix search", FindKeyPrefixStart(file.get(), fileSize - 3), expected);
    }
    return 0;
}
