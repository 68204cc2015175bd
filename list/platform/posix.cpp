// The platform layer on POSIX: the C heap and anonymous mappings under the
// shared heap, and the waiting side of the lock (platform_lock.h).

#include "platform/platform.h"

#include <atomic>
#include <new>

#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

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
    new (&lock->Owner) std::atomic<pthread_t>(pthread_t{});
    new (&lock->Waiters) std::atomic<uint32_t>(0);
    lock->Depth = 0;
    if (pthread_mutex_init(&lock->Mutex, nullptr) != 0) {
        return 0;
    }
    if (pthread_cond_init(&lock->Wakeup, nullptr) != 0) {
        pthread_mutex_destroy(&lock->Mutex);
        return 0;
    }
    return 1;
}

void PlatLockFini(ListLock *lock) {
    pthread_cond_destroy(&lock->Wakeup);
    pthread_mutex_destroy(&lock->Mutex);
}

void PlatLockWait(ListLock *lock, pthread_t self) {
    pthread_mutex_lock(&lock->Mutex);
    lock->Waiters.fetch_add(1, std::memory_order_seq_cst);
    while (!PlatLockTake(lock, self)) {
        pthread_cond_wait(&lock->Wakeup, &lock->Mutex);
    }
    lock->Waiters.fetch_sub(1, std::memory_order_seq_cst);
    pthread_mutex_unlock(&lock->Mutex);
}

void PlatLockWake(ListLock *lock) {
    pthread_mutex_lock(&lock->Mutex);
    pthread_cond_signal(&lock->Wakeup);
    pthread_mutex_unlock(&lock->Mutex);
}

void PlatMove(void *destination, const void *source, size_t length) {
    memmove(destination, source, length);
}

void PlatZero(void *destination, size_t length) {
    memset(destination, 0, length);
}

} // namespace slot_list::internal
