// heap.h - the library's own heap, the one ListSetHeap(NULL) puts back: blocks
// on the C heap that keep room to grow, so that a list growing by small steps
// is moved only now and then.
#ifndef SLOT_LIST_HEAP_H
#define SLOT_LIST_HEAP_H

#include <cstddef>
#include <cstdint>

namespace slot_list::internal {

// The C heap the blocks live on, as the platform offers it (PlatAlloc,
// PlatReAlloc, PlatFree in platform.h, with the same contracts).
struct CHeap {
    void *(*Alloc)(size_t size);
    void *(*ReAlloc)(void *block, size_t newSize);
    int (*Free)(void *block);
};

// Each block keeps, in front of the caller's bytes, the size it was asked for
// and the capacity it really holds. The bytes past the size asked for are
// never taken to be zero: every growth clears exactly the bytes it adds, and a
// shrink only lowers the size.

// A block of size bytes, all zero, with no room to spare; NULL when the C heap
// refuses or the size with the block's record does not fit in a size_t.
void *GrowingAlloc(const CHeap &heap, uint32_t size);

// Resizes block to newSize bytes. Within the capacity the block stays where it
// is; past it, the block is moved to twice its capacity (at least newSize,
// at most what a 32-bit size can ask for), or, when the C heap refuses that,
// to exactly newSize. The contents survive up to the smaller size and every
// byte past the old size reads as zero. NULL, with the block untouched, when
// the C heap refuses even the exact size or newSize with the block's record
// does not fit in a size_t.
void *GrowingReAlloc(const CHeap &heap, void *block, uint32_t newSize);

// Releases block (NULL is an empty release): non-zero on success, 0 when the C
// heap refuses, the block then still valid.
int GrowingFree(const CHeap &heap, void *block);

// The three on the platform's C heap: the library's default heap.
void *DefaultAlloc(uint32_t size);
void *DefaultReAlloc(void *block, uint32_t newSize);
int DefaultFree(void *block);

} // namespace slot_list::internal

#endif // SLOT_LIST_HEAP_H
