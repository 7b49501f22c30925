// A large in-memory window over a file, refilled in one read when the caller
// needs more look-ahead than it holds.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Platform.h"

namespace vexmend {

class StreamBuffer {
public:
    // Reads up to `count` bytes at absolute `offset` into `destination` and
    // returns how many it stored.
    using ReadFunction =
        std::function<int32_t(uint64_t offset, uint8_t* destination, uint64_t count)>;

    // `capacity` must stay below 2^31 bytes. Nothing is read until Require.
    StreamBuffer(uint64_t capacity, uint64_t startPosition, ReadFunction source,
                 uint64_t totalSize);

    StreamBuffer(const StreamBuffer&) = delete;
    StreamBuffer& operator=(const StreamBuffer&) = delete;

    // Source offset of the current byte.
    uint64_t Position() const { return position; }

    // Source bytes beyond the window's valid data.
    uint64_t Remaining() const;

    // True when at least n bytes are available from the current byte; refills
    // the window once when they are not.
    bool Require(uint64_t n);

    // The current byte; valid until the next Require or Skip.
    const uint8_t* Data() const { return buffer.get() + cursor; }

    // Valid bytes from the current byte on.
    int32_t Available() const { return available; }

    // Moves the current byte forward; a step past the valid data empties the
    // window, and the next refill reads from the new position.
    void Skip(uint64_t n);

private:
    void Fill();

    uint64_t capacity;
    uint64_t totalSize;
    platform::ZeroedBlock buffer;
    ReadFunction source;
    int32_t available;
    int32_t cursor;
    uint64_t position;
    [[maybe_unused]] uint64_t startPosition;  // kept as the reader was made
    bool atEnd;
};

}  // namespace vexmend
