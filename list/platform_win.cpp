// The platform layer on Windows: the process heap and a critical section.
// Empty elsewhere, so that every build may compile all of list/*.cpp.

#include "platform.h"

#ifdef _WIN32

namespace slot_list::internal {

void *PlatAlloc(size_t size) {
    HANDLE heap = GetProcessHeap();
    if (heap == nullptr) {
        return nullptr;
    }
    return HeapAlloc(heap, HEAP_ZERO_MEMORY, size);
}

void *PlatReAlloc(void *block, size_t newSize) {
    return HeapReAlloc(GetProcessHeap(), 0, block, newSize);
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
