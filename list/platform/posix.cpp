// The platform layer on POSIX: the C heap and anonymous mappings under the
// shared heap, and a recursive lock over a plain pthread mutex.

#include "platform/platform.h"

#include <atomic>
#include <new>

#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

// A recursive lock whose uncontended paths are one atomic instruction each:
// Owner names the thread holding it (zero when free) and only the owner
// touches Depth. Threads that find it taken wait on Wakeup under Mutex, and
// Waiters tells a leaving owner whether anyone needs waking. Leave clears
// Owner before it reads Waiters, and a waiter counts itself before it tries
// Owner; with both in one total order (seq_cst), either the waiter's try sees
// the lock free or the leaving owner sees the waiter.
struct ListLock {
    std::atomic<pthread_t> Owner;
    uint32_t Depth;
    std::atomic<uint32_t> Waiters;
    pthread_mutex_t Mutex;
    pthread_cond_t Wakeup;
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

namespace {

// Takes the lock for self if it is free.
bool TryTake(ListLock *lock, pthread_t self) {
    pthread_t free{};
    return lock->Owner.compare_exchange_strong(free, self, std::memory_order_seq_cst);
}

// Enters a lock the caller may already own, without waiting: true when the
// caller owns it now.
bool EnterAtOnce(ListLock *lock, pthread_t self) {
    if (lock->Owner.load(std::memory_order_relaxed) == self) {
        lock->Depth++;
        return true;
    }
    if (TryTake(lock, self)) {
        lock->Depth = 1;
        return true;
    }
    return false;
}

} // namespace

void PlatLockEnter(ListLock *lock) {
    pthread_t self = pthread_self();
    if (EnterAtOnce(lock, self)) {
        return;
    }
    pthread_mutex_lock(&lock->Mutex);
    lock->Waiters.fetch_add(1, std::memory_order_seq_cst);
    while (!TryTake(lock, self)) {
        pthread_cond_wait(&lock->Wakeup, &lock->Mutex);
    }
    lock->Waiters.fetch_sub(1, std::memory_order_seq_cst);
    pthread_mutex_unlock(&lock->Mutex);
    lock->Depth = 1;
}

void PlatLockLeave(ListLock *lock) {
    if (--lock->Depth != 0) {
        return;
    }
    lock->Owner.store(pthread_t{}, std::memory_order_seq_cst);
    if (lock->Waiters.load(std::memory_order_seq_cst) != 0) {
        pthread_mutex_lock(&lock->Mutex);
        pthread_cond_signal(&lock->Wakeup);
        pthread_mutex_unlock(&lock->Mutex);
    }
}

int PlatLockTryEnter(ListLock *lock) {
    return EnterAtOnce(lock, pthread_self()) ? 1 : 0;
}

void PlatMove(void *destination, const void *source, size_t length) {
    memmove(destination, source, length);
}

void PlatZero(void *destination, size_t length) {
    memset(destination, 0, length);
}

} // namespace slot_list::internal
