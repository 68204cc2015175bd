// The platform layer on Windows: the process heap and a critical section.

#include "platform/platform.h"

#include "lock_type.h"

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

uint32_t PlatLockSize() {
    return sizeof(ListLock);
}

int PlatLockInit(ListLock *lock) {
    InitializeCriticalSection(&lock->Section);
    return 1;
}

void PlatLockFini(ListLock *lock) {
    DeleteCriticalSection(&lock->Section);
}

void PlatLockEnter(ListLock *lock) {
    EnterCriticalSection(&lock->Section);
}

void PlatLockLeave(ListLock *lock) {
    LeaveCriticalSection(&lock->Section);
}

} // namespace slot_list::internal
