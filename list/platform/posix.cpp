// The platform layer on POSIX: the C heap and anonymous mappings under the
// shared heap, and a recursive pthread mutex.

#include "platform/platform.h"

#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

struct ListLock {
    pthread_mutex_t Mutex;
};

namespace slot_list::internal {

namespace {

void *Reserve(size_t size) {
    // MAP_NORESERVE: the reservation runs ahead of what the block uses, and
    // pages are only charged as they are touched.
    void *address = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return address == MAP_FAILED ? nullptr : address;
}

#ifdef MREMAP_MAYMOVE
// The kernel moves the page table entries, not the bytes.
void *Extend(void *address, size_t oldSize, size_t newSize) {
    void *moved = mremap(address, oldSize, newSize, MREMAP_MAYMOVE);
    return moved == MAP_FAILED ? nullptr : moved;
}
#else
constexpr void *(*Extend)(void *, size_t, size_t) = nullptr;
#endif

int Release(void *address, size_t size) {
    return munmap(address, size) == 0;
}

} // namespace

void *PlatSmallAlloc(size_t size) {
    return calloc(1, size);
}

void *PlatSmallReAlloc(void *block, size_t oldSize, size_t newSize) {
    // realloc does not zero what it adds.
    auto *moved = static_cast<unsigned char *>(realloc(block, newSize));
    if (moved != nullptr && newSize > oldSize) {
        memset(moved + oldSize, 0, newSize - oldSize);
    }
    return moved;
}

int PlatSmallFree(void *block) {
    free(block);
    return 1;
}

extern const PlatMapCalls PlatSystemMapCalls = {Reserve, nullptr, Extend, Release};

size_t PlatPageSize() {
    return static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

uint32_t PlatLockSize() {
    return sizeof(ListLock);
}

int PlatLockInit(ListLock *lock) {
    pthread_mutexattr_t attributes;
    if (pthread_mutexattr_init(&attributes) != 0) {
        return 0;
    }
    int made = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE) == 0 &&
               pthread_mutex_init(&lock->Mutex, &attributes) == 0;
    pthread_mutexattr_destroy(&attributes);
    return made;
}

void PlatLockFini(ListLock *lock) {
    pthread_mutex_destroy(&lock->Mutex);
}

void PlatLockEnter(ListLock *lock) {
    pthread_mutex_lock(&lock->Mutex);
}

void PlatLockLeave(ListLock *lock) {
    pthread_mutex_unlock(&lock->Mutex);
}

int PlatLockTryEnter(ListLock *lock) {
    return pthread_mutex_trylock(&lock->Mutex) == 0;
}

void PlatMove(void *destination, const void *source, size_t length) {
    memmove(destination, source, length);
}

void PlatZero(void *destination, size_t length) {
    memset(destination, 0, length);
}

} // namespace slot_list::internal
