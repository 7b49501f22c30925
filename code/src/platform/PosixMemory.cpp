// POSIX memory for the read window: an anonymous mapping with huge-page advice.
#include "platform/Platform.h"

#include <sys/mman.h>

#include <new>

namespace vexmend::platform {

ZeroedBlock AllocateZeroedBlock(size_t size)
{
    size_t length = size == 0 ? 1 : size;
    // Anonymous mappings arrive zero-filled.
    void* block = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    madvise(block, length, MADV_HUGEPAGE);  // advice only; ignored where unsupported
#endif
    return ZeroedBlock(static_cast<uint8_t*>(block), BlockRelease{length});
}

void BlockRelease::operator()(uint8_t* block) const
{
    if (block != nullptr) munmap(block, size);
}

}  // namespace vexmend::platform
