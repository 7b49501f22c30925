// The damaged-file scan written a second time, plainly, one position at a
// time from the rules of the reader and of the key and length, for the tests
// and the fuzzer to hold the engine's walk against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexmend::test {

// An essence element: offset of its value, size, kind (0 video, 1 audio; + 2
// when the engine did not mark it found or put it in the other table) and
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
    uint64_t limit = 0x80000000;     // unrecognised bytes in one run that end the walk
    uint64_t readable = UINT64_MAX;  // bytes the source delivers (a file that shrank)
};

struct WalkResult {
    std::vector<ReferenceElement> elements;  // the engine's without keys
    uint64_t unrecognised = 0;
    bool limitReached = false;
    uint64_t end = 0;  // the reader's position when the walk ended
};

// The reference walk and the engine's walk over a file in memory.
WalkResult WalkFile(const uint8_t* file, uint64_t size, const WalkSettings& settings = {});
WalkResult EngineWalk(const uint8_t* file, uint64_t size, const WalkSettings& settings);

// A walk as text, its elements in file order as "offset+size" and kind ("v",
// "a" or "?"), then "| unrecognised bytes, limit reached, end position".
std::string Describe(const WalkResult& walk);

// The reference walk with the engine's window over a whole file.
std::vector<ReferenceElement> ReferenceWalk(const std::vector<uint8_t>& file);

}  // namespace vexmend::test
