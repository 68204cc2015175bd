// The platform layer on Windows: the process heap and a critical section.

#include "platform/platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

struct ListLock {
    CRITICAL_SECTION Section;
};

void *PlatHeapAlloc(uint32_t size) {
    HANDLE heap = GetProcessHeap();
    if (heap == nullptr) {
        return nullptr;
    }
    return HeapAlloc(heap, HEAP_ZERO_MEMORY, size);
}

void *PlatHeapReAlloc(void *block, uint32_t newSize) {
    return HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block, newSize);
}

int PlatHeapFree(void *block) {
    HANDLE heap = GetProcessHeap();
    if (heap == nullptr) {
        return 0;
    }
    return HeapFree(heap, 0, block) ? 1 : 0;
}

uint32_t PlatLockSize(void) {
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

int PlatLockTryEnter(ListLock *lock) {
    return TryEnterCriticalSection(&lock->Section) ? 1 : 0;
}

void PlatMove(void *destination, const void *source, size_t length) {
    RtlMoveMemory(destination, source, length);
}

void PlatZero(void *destination, size_t length) {
    RtlZeroMemory(destination, length);
}
