// mem.h - the heap primitives through which the list gets, grows and releases
// all of its memory, over the heap installed with ListSetHeap.
#ifndef SLOT_LIST_MEM_H
#define SLOT_LIST_MEM_H

#include <cstdint>

namespace slot_list::internal {

// Returns a block of size bytes, all zero, or NULL when size is 0 (the heap is
// not called) or when the heap cannot provide one.
void *MemAlloc(uint32_t size);

// Returns block to the heap. Returns non-zero on success and 0 when the heap
// refuses, in which case the block is still valid. NULL is handed to the heap
// as it is, which accepts it as an empty release.
int MemFree(void *block);

// Resizes block to newSize bytes; it may move. Contents up to the smaller of
// the two sizes survive and every byte past the old size reads as zero.
// Returns the (possibly new) address, or NULL when block is NULL, newSize is 0
// or the heap cannot resize it; the block is then untouched and still valid.
void *MemReAlloc(void *block, uint32_t newSize);

// Moves length bytes from source to destination, which may overlap in either
// direction, and leaves every source byte that the destination does not cover
// zero. Works in place and cannot fail: returns 1 (length 0 does nothing).
int MemMoveClear(void *destination, void *source, uint32_t length);

} // namespace slot_list::internal

#endif // SLOT_LIST_MEM_H
