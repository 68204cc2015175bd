// platform.h - what the list needs from the operating system: the C heap and a
// recursive lock. The lock's type and its quick paths are here, one branch
// per platform; the rest is in platform_posix.cpp or platform_win.cpp, which
// the build picks.
#ifndef SLOT_LIST_PLATFORM_H
#define SLOT_LIST_PLATFORM_H

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <atomic>

#include <pthread.h>
#if __has_include(<sys/single_threaded.h>)
#include <sys/single_threaded.h>
#define SLOT_LIST_KNOWS_SINGLE_THREAD 1
#endif
#endif

namespace slot_list::internal {

// The C heap: calloc, realloc and free on POSIX, the process heap on Windows.
// PlatAlloc returns size (> 0) bytes, all zero, or NULL. PlatReAlloc resizes
// a block from PlatAlloc to newSize (> 0) bytes, possibly moving it: the
// contents survive up to the smaller size and the bytes past the old size are
// undefined; on failure it returns NULL and the block is untouched. PlatFree
// releases a block and returns non-zero, or 0 when the heap refuses (the block
// is then still valid).
void *PlatAlloc(size_t size);
void *PlatReAlloc(void *block, size_t newSize);
int PlatFree(void *block);

// A recursive lock: an owner enters again at once, and each Enter needs its
// own Leave. PlatLockInit makes zero-filled storage a free lock and returns
// 1, or 0 when the system cannot provide one (nothing to undo then);
// PlatLockFini ends a free lock, whose storage can then be released.
struct PlatLock;
int PlatLockInit(PlatLock *lock);
void PlatLockFini(PlatLock *lock);

#ifdef _WIN32

// A critical section is recursive already and quick to enter without
// contention.
struct PlatLock {
    CRITICAL_SECTION Section;
};

inline void PlatLockEnter(PlatLock *lock) {
    EnterCriticalSection(&lock->Section);
}

inline void PlatLockLeave(PlatLock *lock) {
    LeaveCriticalSection(&lock->Section);
}

#else

// Owner names the thread holding the lock (zero when free) and only the owner
// touches Depth. Threads that find it taken wait on Wakeup under Mutex, and
// Waiters tells a leaving owner whether anyone needs waking. Leave clears
// Owner before it reads Waiters, and a waiter counts itself before it tries
// Owner; with both in one total order (seq_cst), either the waiter's try sees
// the lock free or the leaving owner sees the waiter. Entering and leaving
// without contention are inline, since every operation does both.
struct PlatLock {
    std::atomic<pthread_t> Owner;
    uint32_t Depth;
    std::atomic<uint32_t> Waiters;
    pthread_mutex_t Mutex;
    pthread_cond_t Wakeup;
};

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

// Waits until self has taken the lock; wakes one waiting thread.
void PlatLockWait(PlatLock *lock, pthread_t self);
void PlatLockWake(PlatLock *lock);

// Takes the lock for self if it is free.
inline bool PlatLockTake(PlatLock *lock, pthread_t self) {
    pthread_t free{};
    return lock->Owner.compare_exchange_strong(free, self, std::memory_order_seq_cst);
}

inline void PlatLockEnter(PlatLock *lock) {
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

inline void PlatLockLeave(PlatLock *lock) {
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

#endif

} // namespace slot_list::internal

#endif // SLOT_LIST_PLATFORM_H
