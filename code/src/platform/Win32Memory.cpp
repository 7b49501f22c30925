// Windows memory for the read window: committed virtual memory.
#include "platform/Platform.h"

#include <windows.h>

#include <new>

namespace vexmend::platform {

ZeroedBlock AllocateZeroedBlock(size_t size)
{
    // Committed pages arrive zero-filled.
    void* block = VirtualAlloc(nullptr, size == 0 ? 1 : size, MEM_COMMIT | MEM_RESERVE,
                               PAGE_READWRITE);
    if (block == nullptr) throw std::bad_alloc();
    return ZeroedBlock(static_cast<uint8_t*>(block), BlockRelease{size});
}

void BlockRelease::operator()(uint8_t* block) const
{
    if (block != nullptr) VirtualFree(block, 0, MEM_RELEASE);
}

}  // namespace vexmend::platform
