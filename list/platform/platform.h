// platform.h - what the list needs from the operating system: the C heap and a
// recursive lock. One implementation per platform, chosen by the build
// (posix.cpp, win.cpp).
#ifndef SLOT_LIST_PLATFORM_H
#define SLOT_LIST_PLATFORM_H

#include <cstddef>
#include <cstdint>

#include <slot_list/slot_list.h>

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

// Bytes of storage a ListLock needs.
uint32_t PlatLockSize();

// Makes the zero-filled storage at lock a free recursive lock. Returns 1, or 0
// when the system cannot provide one (nothing to undo then).
int PlatLockInit(ListLock *lock);

// Ends a free lock made by PlatLockInit; its storage can then be released.
void PlatLockFini(ListLock *lock);

// platform_lock.h, the platform's own (CMake puts its folder on the include
// path), gives:
//   void PlatLockEnter(ListLock *lock): waits until the calling thread owns
//     the lock; an owner enters again at once, and each Enter needs its own
//     Leave.
//   void PlatLockLeave(ListLock *lock);
//   int PlatLockTryEnter(ListLock *lock): takes the lock if it is free or
//     already the caller's, without waiting; 1 when taken (then needs a
//     Leave), 0 when another thread owns it.

} // namespace slot_list::internal

#include "platform_lock.h"

#endif // SLOT_LIST_PLATFORM_H
