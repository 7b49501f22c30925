// The damaged-file scan written a second time, plainly, one position at a
// time from the rules of the reader and of the key and length, for the tests
// and the fuzzer to hold the engine's walk against.
#pragma once

#include <cstdint>
#include <tuple>
#include <vector>

namespace vexmend::test {

// An essence element: offset of its value, size, kind 0 video / 1 audio, and
// offset of its key's first byte.
struct ReferenceElement {
    uint64_t offset, size;
    int kind;
    uint64_t key;
};

// The element at `bytes` (at most `count` of them): offset is its header's length, size 0 if none.
ReferenceElement MatchReferenceHeader(const uint8_t* bytes, uint64_t count);

struct WalkSettings {
    uint64_t capacity = 0x2000000;   // the reader's window
    uint64_t lookAhead = 0x400000;   // asked of the reader at each position
    uint64_t limit = 0x80000000;     // unrecognised bytes that end the walk
    uint64_t readable = UINT64_MAX;  // bytes the source delivers (a file that shrank)
};

struct WalkResult {
    std::vector<ReferenceElement> elements;
    uint64_t unrecognised = 0;
    bool limitReached = false;
    uint64_t end = 0;  // the reader's position when the walk ended
};

WalkResult WalkFile(const uint8_t* file, uint64_t size, const WalkSettings& settings = {});

// What a walk found: each element's offset, size and kind table by table (kind
// + 2 if not marked found); unrecognised bytes, limit reached, end position.
struct WalkOutcome {
    std::vector<std::tuple<uint64_t, uint64_t, int>> elements;
    std::tuple<uint64_t, bool, uint64_t> end;
};
// The engine's walk over a file in memory, and the reference walk's outcome.
WalkOutcome EngineWalk(const uint8_t* file, uint64_t size, const WalkSettings& settings);
WalkOutcome ReferenceOutcome(const uint8_t* file, uint64_t size, const WalkSettings& settings);

// The walk with the engine's window over a whole file.
std::vector<ReferenceElement> ReferenceWalk(const std::vector<uint8_t>& file);

// Offset of the first essence element's key in a file (its size if none).
uint64_t FirstEssenceKey(const std::vector<uint8_t>& file);

}  // namespace vexmend::test
