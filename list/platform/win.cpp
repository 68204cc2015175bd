// The platform layer on Windows: the process heap and reserved virtual memory
// under the shared heap, and a critical section.

#include "platform/platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

struct ListLock {
    CRITICAL_SECTION Section;
};

namespace slot_list::internal {

namespace {

void *Reserve(size_t size) {
    return VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
}

int Commit(void *address, size_t size) {
    return VirtualAlloc(address, size, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

int Release(void *address, size_t) {
    return VirtualFree(address, 0, MEM_RELEASE) ? 1 : 0;
}

} // namespace

void *PlatSmallAlloc(size_t size) {
    HANDLE heap = GetProcessHeap();
    if (heap == nullptr) {
        return nullptr;
    }
    return HeapAlloc(heap, HEAP_ZERO_MEMORY, size);
}

void *PlatSmallReAlloc(void *block, size_t, size_t newSize) {
    return HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block, newSize);
}

int PlatSmallFree(void *block) {
    HANDLE heap = GetProcessHeap();
    if (heap == nullptr) {
        return 0;
    }
    return HeapFree(heap, 0, block) ? 1 : 0;
}

// Windows cannot resize a reservation: past it, a larger one and a copy.
extern const PlatMapCalls PlatSystemMapCalls = {Reserve, Commit, nullptr, Release};

size_t PlatPageSize() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return static_cast<size_t>(info.dwPageSize);
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

int PlatLockTryEnter(ListLock *lock) {
    return TryEnterCriticalSection(&lock->Section) ? 1 : 0;
}

void PlatMove(void *destination, const void *source, size_t length) {
    RtlMoveMemory(destination, source, length);
}

void PlatZero(void *destination, size_t length) {
    RtlZeroMemory(destination, length);
}

} // namespace slot_list::internal
