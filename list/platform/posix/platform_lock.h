// platform_lock.h (POSIX) - the list's recursive lock. Entering and leaving
// it without contention are inline, since every insert, delete and traversal
// does both; waiting and waking are in posix.cpp.
#ifndef SLOT_LIST_PLATFORM_LOCK_H
#define SLOT_LIST_PLATFORM_LOCK_H

#include <atomic>
#include <cstdint>

#include <pthread.h>
#if __has_include(<sys/single_threaded.h>)
#include <sys/single_threaded.h>
#define SLOT_LIST_KNOWS_SINGLE_THREAD 1
#endif

// Owner names the thread holding the lock (zero when free) and only the owner
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

// True while the process has had one thread only: no other thread can then
// take the lock or wait for it, and plain stores keep it. A thread created
// while the lock is held (from a callback) sees what those stores wrote, and
// the owner's Leave, seeing the process threaded by then, wakes it as usual.
inline bool PlatOnlyThread() {
#ifdef SLOT_LIST_KNOWS_SINGLE_THREAD
    return __libc_single_threaded != 0;
#else
    return false;
#endif
}

// Waits until self has taken the lock.
void PlatLockWait(ListLock *lock, pthread_t self);
// Wakes one thread waiting for the lock.
void PlatLockWake(ListLock *lock);

// Takes the lock for self if it is free.
inline bool PlatLockTake(ListLock *lock, pthread_t self) {
    pthread_t free{};
    return lock->Owner.compare_exchange_strong(free, self, std::memory_order_seq_cst);
}

inline void PlatLockEnter(ListLock *lock) {
    pthread_t self = pthread_self();
    if (pthread_equal(lock->Owner.load(std::memory_order_relaxed), self)) {
        lock->Depth++;
        return;
    }
    if (PlatOnlyThread()) {
        // Free, since no other thread is there to hold it.
        lock->Owner.store(self, std::memory_order_relaxed);
    } else if (!PlatLockTake(lock, self)) {
        PlatLockWait(lock, self);
    }
    lock->Depth = 1;
}

inline void PlatLockLeave(ListLock *lock) {
    if (--lock->Depth != 0) {
        return;
    }
    if (PlatOnlyThread()) {
        lock->Owner.store(pthread_t{}, std::memory_order_relaxed);
        return;
    }
    lock->Owner.store(pthread_t{}, std::memory_order_seq_cst);
    if (lock->Waiters.load(std::memory_order_seq_cst) != 0) {
        PlatLockWake(lock);
    }
}

} // namespace slot_list::internal

#endif // SLOT_LIST_PLATFORM_LOCK_H
