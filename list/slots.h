// slots.h - what the list's operations share: the block's geometry, the one
// size helper and the empty-slot rule.
#ifndef SLOT_LIST_SLOTS_H
#define SLOT_LIST_SLOTS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include <slot_list/slot_list.h>

#include "platform/platform.h"

// Keeps a cold path out of its caller, so that the hot one saves no registers.
#if defined(_MSC_VER) && !defined(__clang__)
#define SLOT_LIST_NOINLINE __declspec(noinline)
#else
#define SLOT_LIST_NOINLINE __attribute__((noinline))
#endif

namespace slot_list::internal {

// Bytes in front of the slot area.
constexpr uint32_t HeaderSize = static_cast<uint32_t>(sizeof(ListBlock));

// Computes count * size + extra into *result. Returns 1, or 0 with *result
// untouched when the value does not fit in 32 bits. Every size the list derives
// from its fields goes through here; inline, since every insert needs one.
inline int SizeCalc(uint64_t count, uint32_t size, uint32_t extra, uint32_t *result) {
    // With count <= 2^32 and size, extra < 2^32 the 64-bit value cannot wrap;
    // a larger count never fits with a non-zero size anyway.
    if (count > UINT32_MAX + uint64_t{1}) {
        return 0;
    }
    uint64_t value = count * size + extra;
    if (value > UINT32_MAX) {
        return 0;
    }
    *result = static_cast<uint32_t>(value);
    return 1;
}

// What the list keeps beside its block: in front of the lock, in the lock's
// own allocation, which no growth moves and which the list alone uses.
// LeadingEmpty counts slots at the start of the used range known to be empty
// (all zero), so that a walk for live slots starts past them: deleting from
// the front then costs no more than deleting anywhere else. A deletion that
// empties the first live slot raises it; a compaction puts it back to 0.
struct Side {
    uint32_t LeadingEmpty;
};
// Side's share of the allocation, a multiple of the strictest alignment so
// that the lock after it is aligned as the heap aligns blocks.
constexpr uint32_t SideSize =
    static_cast<uint32_t>((sizeof(Side) + alignof(std::max_align_t) - 1) /
                          alignof(std::max_align_t) * alignof(std::max_align_t));

inline Side *SideOf(const ListBlock *block) {
    return reinterpret_cast<Side *>(reinterpret_cast<unsigned char *>(block->Lock) - SideSize);
}

// Address of slot index of block.
inline unsigned char *SlotAt(ListBlock *block, uint32_t index) {
    return reinterpret_cast<unsigned char *>(block) + HeaderSize +
           static_cast<size_t>(index) * block->ElementSize;
}

// Index of the slot at address slot of block.
inline uint32_t SlotIndex(ListBlock *block, const unsigned char *slot) {
    return static_cast<uint32_t>(static_cast<size_t>(slot - SlotAt(block, 0)) / block->ElementSize);
}

// How many of the length bytes at bytes are zero before the first non-zero
// one: length when all of them are zero.
size_t ZeroPrefix(const unsigned char *bytes, size_t length);

// 0 when the first word of a slot of size bytes already shows it is live; 1
// when the slot may be empty (or is shorter than a word) and needs the full scan.
inline int MayBeEmpty(const unsigned char *slot, uint32_t size) {
    if (size < sizeof(uint64_t)) {
        return 1;
    }
    uint64_t head;
    memcpy(&head, slot, sizeof head);
    return head == 0;
}

// 1 when all size bytes at bytes are zero, which is what makes a slot empty.
inline int BytesAreZero(const unsigned char *bytes, uint32_t size) {
    // A live element nearly always shows a non-zero byte in its first word.
    return MayBeEmpty(bytes, size) && ZeroPrefix(bytes, size) == size;
}

// How many of the slots slots of size bytes from slot up are empty before the
// first live one. A run of holes is read as one zero scan, not slot by slot.
uint32_t EmptyRun(const unsigned char *slot, uint32_t slots, uint32_t size);

// Calls visit(slot, index) for each live slot from index first (at most
// Count) up, in slot order, until it returns true, and returns that slot, or
// NULL when it never does. Count, ElementSize and FirstHole are read once: a
// callback run from here may clear the slot it is given and count it as a
// hole, but change nothing else of the list.
template <class Visit>
unsigned char *EachLive(ListBlock *block, uint32_t first, Visit visit) {
    const uint32_t size = block->ElementSize;
    unsigned char *slot = SlotAt(block, first);
    unsigned char *const end = SlotAt(block, block->Count);
    // Below the first hole every slot is live (inserts refuse all-zero
    // elements), so those slots need no look for empty ones. The walk there
    // keeps nothing but the slot's address: the index is counted only for a
    // visit that uses it.
    unsigned char *live =
        block->FirstHole != nullptr && block->FirstHole < end ? block->FirstHole : end;
    uint32_t i = first;
    for (; slot < live; i++, slot += size) {
        if (visit(slot, i)) {
            return slot;
        }
    }
    uint32_t left = slot < end ? static_cast<uint32_t>(static_cast<size_t>(end - slot) / size) : 0;
    for (; left > 0; left--, i++, slot += size) {
        if (MayBeEmpty(slot, size)) {
            uint32_t run = EmptyRun(slot, left, size);
            if (run == left) {
                break;
            }
            left -= run;
            i += run;
            slot += static_cast<size_t>(run) * size;
        }
        if (visit(slot, i)) {
            return slot;
        }
    }
    return nullptr;
}

// The block a handle designates, or NULL when the handle cannot be used.
inline ListBlock *BlockOf(ListHandle *handle) {
    return handle == nullptr ? nullptr : *handle;
}

// Runs body() holding the list's lock and returns what it returns. The lock
// is read before body runs, since a growth moves the block but not the lock.
template <class Body>
auto UnderLock(ListBlock *block, Body body) {
    ListLock *lock = block->Lock;
    PlatLockEnter(lock);
    auto result = body();
    PlatLockLeave(lock);
    return result;
}

// Empties the used range's bookkeeping once no empty slot is left below
// count: Count becomes count, and no hole is counted or remembered.
void ResetHoles(ListBlock *block, uint32_t count);

// Squeezes every empty slot out of the used range, as a deletion's compaction
// does. Returns 1, or 0 when the header no longer matches the slots (see
// ListDelete). The caller holds the lock.
int CompactAll(ListBlock *block);

} // namespace slot_list::internal

#endif // SLOT_LIST_SLOTS_H
