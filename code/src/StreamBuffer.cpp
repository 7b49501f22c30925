#include "StreamBuffer.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vexmend {

StreamBuffer::StreamBuffer(uint64_t capacity, uint64_t startPosition, ReadFunction source,
                           uint64_t totalSize)
    : capacity(capacity),
      totalSize(totalSize),
      buffer(platform::AllocateZeroedBlock(static_cast<size_t>(capacity))),
      source(std::move(source)),
      available(0),
      cursor(static_cast<int32_t>(capacity)),
      position(startPosition),
      startPosition(startPosition),
      atEnd(false)
{
}

uint64_t StreamBuffer::Remaining() const
{
    uint64_t inWindow = static_cast<uint64_t>(available);
    if (position > totalSize || inWindow > totalSize - position) return 0;
    return totalSize - inWindow - position;
}

bool StreamBuffer::Require(uint64_t n)
{
    if (static_cast<uint64_t>(available) >= n) return true;
    Fill();
    return static_cast<uint64_t>(available) >= n;
}

void StreamBuffer::Fill()
{
    if (cursor <= 0) return;
    // Keep the unconsumed tail: move it to the front instead of reading it again.
    if (available != 0) {
        std::memmove(buffer.get(), buffer.get() + cursor, static_cast<size_t>(available));
    }
    uint64_t wanted = std::min(Remaining(), static_cast<uint64_t>(cursor));
    if (wanted == 0) {
        atEnd = true;
        cursor = 0;
        return;
    }
    if (atEnd) {
        cursor = 0;
        return;
    }
    int32_t got = source(position + static_cast<uint64_t>(available), buffer.get() + available,
                         wanted);
    if (got < 0) got = 0;
    if (static_cast<uint64_t>(got) != wanted) atEnd = true;
    available += got;
    cursor = 0;
}

void StreamBuffer::Skip(uint64_t n)
{
    position += n;
    cursor = static_cast<int32_t>(static_cast<uint32_t>(cursor) + static_cast<uint32_t>(n));
    available = static_cast<int32_t>(static_cast<uint32_t>(available) - static_cast<uint32_t>(n));
    if (n > capacity || static_cast<uint64_t>(static_cast<int64_t>(cursor)) > capacity) {
        cursor = static_cast<int32_t>(capacity);
        available = 0;
    } else if (available < 0) {
        available = 0;
    }
}

}  // namespace vexmend
