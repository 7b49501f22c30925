// Fuzzes the damaged-file scan. Each input is an in-memory damaged file,
// walked by the engine's walk (with its run-skipping fast path) twice: with a
// small window, look-ahead, byte limit and shrunk file chosen by the input's
// first four bytes, and with the engine's own sizes. Each walk's tables,
// unrecognised-byte count, limit flag and end position must equal those of
// the reference walk. The key test and the prefix search also run on
// exact-size heap copies, so that AddressSanitizer reports any read past the
// bytes offered.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <tuple>
#include <vector>

#include "MxfAdvanceRepair/EssenceElement.h"
#include "MxfAdvanceRepair/ScanWalk.h"
#include "StreamBuffer.h"
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
    const uint64_t readable = std::min(size, settings.readable);
    auto source = [&](uint64_t offset, uint8_t* to, uint64_t count) {
        const uint64_t n = offset < readable ? std::min(count, readable - offset) : 0;
        if (n != 0) std::memcpy(to, file + offset, n);
        return static_cast<int32_t>(n);
    };
    StreamBuffer reader(settings.capacity, 0, source, size);
    std::vector<EssenceSample> tables[2];
    ScanWalkResult walk = WalkEssenceElements(reader, size, tables[0], tables[1],
                                              {settings.lookAhead, settings.limit});
    test::WalkResult reference = test::WalkFile(file, size, settings);
    // Table by table: offset, size, and kind (plus 2 for a record not marked found).
    std::vector<std::tuple<uint64_t, uint64_t, uint64_t>> engine, expected;
    for (int kind : {0, 1}) {
        for (const EssenceSample& s : tables[kind])
            engine.emplace_back(s.offset, s.size, static_cast<int>(s.kind) + 2 * (s.found != 1));
        for (const test::ReferenceElement& e : reference.elements)
            if (e.kind == kind) expected.emplace_back(e.offset, e.size, e.kind);
    }
    const auto first = std::mismatch(engine.begin(), engine.end(), expected.begin(),
                                     expected.end());
    Expect("element number", first.first - engine.begin(), engine.size());
    Expect("element count", engine.size(), expected.size());
    Expect("unrecognised bytes", walk.unrecognised, reference.unrecognised);
    Expect("byte limit reached", walk.limitReached, reference.limitReached);
    Expect("end position", reader.Position(), reference.end);
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
