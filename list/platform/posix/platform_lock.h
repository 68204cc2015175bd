// platform_lock.h (POSIX) - the list's recursive lock. Entering and leaving
// it without contention are inline, since every insert, delete and traversal
// does both; waiting and waking are in posix.cpp.
#ifndef SLOT_LIST_PLATFORM_LOCK_H
#define SLOT_LIST_PLATFORM_LOCK_H

#include <atomic>
#include <cstdint>

#include <pthread.h>

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

// Waits until self has taken the lock.
void PlatLockWait(ListLock *lock, pthread_t self);
// Wakes one thread waiting for the lock.
void PlatLockWake(ListLock *lock);

// Takes the lock for self if it is free.
inline bool PlatLockTake(ListLock *lock, pthread_t self) {
    pthread_t free{};
    return lock->Owner.compare_exchange_strong(free, self, std::memory_order_seq_cst);
}

// Enters the lock if it is free or already the caller's: true when the caller
// owns it now.
inline bool PlatLockEnterAtOnce(ListLock *lock, pthread_t self) {
    if (lock->Owner.load(std::memory_order_relaxed) == self) {
        lock->Depth++;
        return true;
    }
    if (PlatLockTake(lock, self)) {
        lock->Depth = 1;
        return true;
    }
    return false;
}

inline void PlatLockEnter(ListLock *lock) {
    pthread_t self = pthread_self();
    if (!PlatLockEnterAtOnce(lock, self)) {
        PlatLockWait(lock, self);
        lock->Depth = 1;
    }
}

inline void PlatLockLeave(ListLock *lock) {
    if (--lock->Depth != 0) {
        return;
    }
    lock->Owner.store(pthread_t{}, std::memory_order_seq_cst);
    if (lock->Waiters.load(std::memory_order_seq_cst) != 0) {
        PlatLockWake(lock);
    }
}

inline int PlatLockTryEnter(ListLock *lock) {
    return PlatLockEnterAtOnce(lock, pthread_self()) ? 1 : 0;
}

} // namespace slot_list::internal

#endif // SLOT_LIST_PLATFORM_LOCK_H
