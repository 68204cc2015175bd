/*
 * platform.h - what the list needs from the operating system: the process
 * heap, a recursive lock and byte moves. One implementation per platform,
 * chosen by the build (posix.cpp, win.cpp).
 */
#ifndef SLOT_LIST_PLATFORM_H
#define SLOT_LIST_PLATFORM_H

#include <stddef.h>
#include <stdint.h>

#include "slot_list.h"

/* Zero-filled block of size (> 0) bytes from the process heap, or NULL. */
void *PlatHeapAlloc(uint32_t size);

/* Resizes a block from PlatHeapAlloc; growth reads as zero. NULL on failure,
 * the block then untouched. block is non-NULL and newSize > 0. */
void *PlatHeapReAlloc(void *block, uint32_t newSize);

/* Releases a block from PlatHeapAlloc (or NULL). Non-zero on success. */
int PlatHeapFree(void *block);

/* Bytes of storage a ListLock needs. */
uint32_t PlatLockSize(void);

/* Makes the zero-filled storage at lock a free recursive lock. Returns 1, or 0
 * when the system cannot provide one (nothing to undo then). */
int PlatLockInit(ListLock *lock);

/* Ends a free lock made by PlatLockInit; its storage can then be released. */
void PlatLockFini(ListLock *lock);

/* Waits until the calling thread owns the lock; an owner enters again at once,
 * and each Enter needs its own Leave. */
void PlatLockEnter(ListLock *lock);
void PlatLockLeave(ListLock *lock);

/* Takes the lock if it is free or already the caller's, without waiting.
 * Returns 1 when taken (then needs a Leave), 0 when another thread owns it.
 * The list does not use it; tests do, to see who holds a lock. */
int PlatLockTryEnter(ListLock *lock);

/* Overlap-safe copy, and clear. */
void PlatMove(void *destination, const void *source, size_t length);
void PlatZero(void *destination, size_t length);

#endif /* SLOT_LIST_PLATFORM_H */
