// list_internal.h - what the list's operations share: the block's geometry,
// the one size helper and the empty-slot rule.
#ifndef SLOT_LIST_INTERNAL_H
#define SLOT_LIST_INTERNAL_H

#include <cstddef>
#include <cstdint>

#include "slot_list.h"

// Bytes in front of the slot area.
constexpr uint32_t ListHeaderSize = static_cast<uint32_t>(sizeof(ListBlock));

// Computes count * size + extra into *result. Returns 1, or 0 with *result
// untouched when the value does not fit in 32 bits. Every size the list derives
// from its fields goes through here.
int ListSizeCalc(uint64_t count, uint32_t size, uint32_t extra, uint32_t *result);

// Address of slot index of block.
inline unsigned char *ListSlot(ListBlock *block, uint32_t index) {
    return reinterpret_cast<unsigned char *>(block) + ListHeaderSize +
           static_cast<size_t>(index) * block->ElementSize;
}

// Index of the slot at address slot of block.
inline uint32_t ListSlotIndex(ListBlock *block, const unsigned char *slot) {
    return static_cast<uint32_t>(static_cast<size_t>(slot - ListSlot(block, 0)) /
                                 block->ElementSize);
}

// 1 when all size bytes at bytes are zero, which is what makes a slot empty.
int ListBytesAreZero(const unsigned char *bytes, uint32_t size);

// The block a handle designates, or NULL when the handle cannot be used.
inline ListBlock *ListBlockOf(ListHandle *handle) {
    return handle == nullptr ? nullptr : *handle;
}

// Removes empty slots from start upward until no counted hole remains, moving
// the slots above each one down, in place; the vacated top slots are cleared.
// Returns 1 with HoleCount 0 and FirstHole NULL. Returns 0 when the walk passes
// the last used slot with holes still counted (the header no longer matches
// the slots); every empty slot met has been removed, Count and HoleCount are
// lowered for them and FirstHole keeps its value. The caller holds the lock.
int ListCompact(ListBlock *block, unsigned char *start);

#endif // SLOT_LIST_INTERNAL_H
