// The platform layer on POSIX: the C heap, and the waiting side of the lock.
// Empty on Windows, so that every build may compile all of list/*.cpp.

#include "platform.h"

#ifndef _WIN32

#include <new>

#include <stdlib.h>

namespace slot_list::internal {

void *PlatAlloc(size_t size) {
    return calloc(1, size);
}

void *PlatReAlloc(void *block, size_t newSize) {
    return realloc(block, newSize);
}

int PlatFree(void *block) {
    free(block);
    return 1;
}

int PlatLockInit(PlatLock *lock) {
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

void PlatLockFini(PlatLock *lock) {
    pthread_cond_destroy(&lock->Wakeup);
    pthread_mutex_destroy(&lock->Mutex);
}

void PlatLockWait(PlatLock *lock, pthread_t self) {
    pthread_mutex_lock(&lock->Mutex);
    lock->Waiters.fetch_add(1, std::memory_order_seq_cst);
    while (!PlatLockTake(lock, self)) {
        pthread_cond_wait(&lock->Wakeup, &lock->Mutex);
    }
    lock->Waiters.fetch_sub(1, std::memory_order_seq_cst);
    pthread_mutex_unlock(&lock->Mutex);
}

void PlatLockWake(PlatLock *lock) {
    pthread_mutex_lock(&lock->Mutex);
    pthread_cond_signal(&lock->Wakeup);
    pthread_mutex_unlock(&lock->Mutex);
}

} // namespace slot_list::internal

#endif // _WIN32
