// The platform layer on Windows: the process heap and a critical section.
// Empty elsewhere, so that every build may compile all of list/*.cpp.

#include "platform.h"

#include <cstring>

#ifdef _WIN32

namespace slot_list::internal {

void *PlatAlloc(size_t size) {
    HANDLE heap = GetProcessHeap();
    if (heap == nullptr) {
        return nullptr;
    }
    return HeapAlloc(heap, HEAP_ZERO_MEMORY, size);
}

// HeapReAlloc promises only that a block it moves keeps its contents, not how
// it copies them, and Wine's (8.0) copies with ntdll's memcpy, one byte at a
// time: 0.5 ns a byte, against 0.05 for the C runtime's memcpy that
// std::vector's growth uses. So the heap is asked only to grow the block where
// it lies (HEAP_REALLOC_IN_PLACE_ONLY), and a block that must move is moved
// here as HeapReAlloc would move it: a new block, the C runtime's memcpy, the
// old block freed. The bytes past the old size stay undefined, as before.
void *PlatReAlloc(void *block, size_t newSize) {
    HANDLE heap = GetProcessHeap();
    DWORD lastError = GetLastError();
    void *grown = HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, block, newSize);
    if (grown != nullptr) {
        return grown;
    }
    // A growth that moves succeeds: the refusal leaves no error behind.
    SetLastError(lastError);
    size_t oldSize = HeapSize(heap, 0, block);
    if (oldSize == static_cast<size_t>(-1)) {
        return nullptr;
    }
    void *moved = HeapAlloc(heap, 0, newSize);
    if (moved == nullptr) {
        return nullptr;
    }
    memcpy(moved, block, oldSize < newSize ? oldSize : newSize);
    HeapFree(heap, 0, block);
    return moved;
}

int PlatFree(void *block) {
    HANDLE heap = GetProcessHeap();
    if (heap == nullptr) {
        return 0;
    }
    return HeapFree(heap, 0, block) ? 1 : 0;
}

int PlatLockInit(PlatLock *lock) {
    InitializeCriticalSection(&lock->Section);
    return 1;
}

void PlatLockFini(PlatLock *lock) {
    DeleteCriticalSection(&lock->Section);
}

} // namespace slot_list::internal

#endif // _WIN32
