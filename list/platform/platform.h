// platform.h - what the list needs from the operating system: the process
// heap, a recursive lock and byte moves. One implementation per platform,
// chosen by the build (posix.cpp, win.cpp), under the heap that both share
// (heap.cpp).
#ifndef SLOT_LIST_PLATFORM_H
#define SLOT_LIST_PLATFORM_H

#include <cstddef>
#include <cstdint>

#include <slot_list/slot_list.h>

namespace slot_list::internal {

// Zero-filled block of size (> 0) bytes from the process heap, or NULL.
void *PlatHeapAlloc(uint32_t size);

// Resizes a block from PlatHeapAlloc; growth reads as zero. NULL on failure,
// the block then untouched. block is non-NULL and newSize > 0. Small blocks
// live on the C runtime's heap; a block that reaches the map threshold
// moves once into pages of its own, with address space reserved ahead,
// so that its later growths copy nothing.
void *PlatHeapReAlloc(void *block, uint32_t newSize);

// Releases a block from PlatHeapAlloc (or NULL). Non-zero on success; on
// failure the block is still valid.
int PlatHeapFree(void *block);

// Bytes, bookkeeping included, from which a block has pages of its own:
// PlatHeapDefaultMapThreshold unless a test sets another, to send small
// blocks down that path too (only while no block is alive).
constexpr size_t PlatHeapDefaultMapThreshold = size_t{64} * 1024;
void PlatHeapSetMapThreshold(size_t bytes);

// Released large blocks are kept for reuse while the pages they have touched
// add up to at most this many bytes. Setting a limit releases what is over it
// (0: keep nothing, as tests that count system calls need).
constexpr size_t PlatHeapDefaultCacheLimit = size_t{64} << 20;
void PlatHeapSetCacheLimit(size_t bytes);

// Bytes the heap has copied itself to move blocks, since the process began
// (a C runtime's realloc of a small block may copy too, unseen).
uint64_t PlatHeapBytesCopied();

// The C runtime's heap, for small blocks. Sizes include the heap's own
// bookkeeping. SmallAlloc zero-fills; SmallReAlloc zero-fills growth (oldSize
// is the size the block has now) and leaves the block valid on failure.
void *PlatSmallAlloc(size_t size);
void *PlatSmallReAlloc(void *block, size_t oldSize, size_t newSize);
int PlatSmallFree(void *block); // non-zero on success

// The system calls behind blocks with pages of their own. Sizes are whole
// pages. Reserve takes address space for size bytes (NULL when refused).
// Commit makes the first size bytes from address readable and writable, 1 on
// success; it is NULL where reserved memory is usable at once. Extend resizes
// a reservation without copying, possibly moving it, and returns its address
// or NULL with the reservation untouched; it is NULL where the system cannot,
// and offered only where Commit is NULL.
// Release gives a whole reservation back, 1 on success. Pages arrive zero.
struct PlatMapCalls {
    void *(*Reserve)(size_t size);
    int (*Commit)(void *address, size_t size);
    void *(*Extend)(void *address, size_t oldSize, size_t newSize);
    int (*Release)(void *address, size_t size);
};

// The system's own calls, and its page size (asked each time: the heap keeps
// it).
extern const PlatMapCalls PlatSystemMapCalls;
size_t PlatPageSize();

// Puts calls behind the mapped blocks (the system's again when calls is NULL),
// and reads them back. Tests use it to refuse system calls; only while no
// other thread uses the heap.
void PlatSetMapCalls(const PlatMapCalls *calls);
void PlatGetMapCalls(PlatMapCalls *calls);

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
//     Leave), 0 when another thread owns it. The list does not use it; tests
//     do, to see who holds a lock.

// Overlap-safe copy, and clear.
void PlatMove(void *destination, const void *source, size_t length);
void PlatZero(void *destination, size_t length);

} // namespace slot_list::internal

#include "platform_lock.h"

#endif // SLOT_LIST_PLATFORM_H
