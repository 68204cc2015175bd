// list.h - what the list's operations share: the block's geometry, the one
// size helper, the record kept beside the block, the empty-slot rule, the
// walk over live slots, and the heap primitives all memory goes through.
#ifndef SLOT_LIST_LIST_H
#define SLOT_LIST_LIST_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include <slot_list/slot_list.h>

#include "platform.h"

// What the list keeps beside its block, in storage of its own that no growth
// moves: its lock, and LeadingEmpty, the slots at the start of the used range
// known to be empty (all zero), so that a walk for live slots starts past
// them: deleting from the front then costs no more than deleting anywhere
// else. A deletion that empties the first live slot raises it; a compaction
// puts it back to 0.
struct ListLock {
    slot_list::internal::PlatLock Mutex;
    uint32_t LeadingEmpty;
};

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
    PlatLock *lock = &block->Lock->Mutex;
    PlatLockEnter(lock);
    auto result = body();
    PlatLockLeave(lock);
    return result;
}

// The heap primitives, over the heap installed with ListSetHeap (heap.cpp).
// MemAlloc returns size bytes, all zero, or NULL when size is 0 (the heap is
// not called) or the heap refuses. MemReAlloc resizes block to newSize bytes,
// possibly moving it: contents survive up to the smaller size and every byte
// past the old size reads as zero; NULL, with the block untouched, when block
// is NULL, newSize is 0 or the heap refuses. MemFree returns non-zero, or 0
// when the heap refuses (the block is then still valid); NULL is handed on as
// an empty release.
void *MemAlloc(uint32_t size);
void *MemReAlloc(void *block, uint32_t newSize);
int MemFree(void *block);

// The library's own heap, the one ListSetHeap(NULL) puts back: blocks on a C
// heap (the platform's in the product, a failing one in tests) that keep room
// to grow, so that a list growing by small steps is moved only now and then.
// Each block keeps, in front of the caller's bytes, the size asked for and the
// capacity it holds; every growth clears exactly the bytes it adds.
struct CHeap {
    void *(*Alloc)(size_t size);
    void *(*ReAlloc)(void *block, size_t newSize);
    int (*Free)(void *block);
};

// A block of size bytes, all zero, with no room to spare; NULL when the C heap
// refuses or the size with the block's record does not fit in a size_t.
void *GrowingAlloc(const CHeap &heap, uint32_t size);

// Resizes block to newSize bytes. Within the capacity the block stays where it
// is; past it, the block is moved to twice its capacity (at least newSize,
// at most what a 32-bit size can ask for), or, when the C heap refuses that,
// to exactly newSize. NULL, with the block untouched, when the C heap refuses
// even the exact size or newSize with the block's record does not fit in a
// size_t.
void *GrowingReAlloc(const CHeap &heap, void *block, uint32_t newSize);

// Releases block (NULL is an empty release): non-zero on success, 0 when the C
// heap refuses, the block then still valid.
int GrowingFree(const CHeap &heap, void *block);

// Moves length bytes from source to destination, which may overlap in either
// direction, and leaves every source byte that the destination does not cover
// zero (delete.cpp).
void MemMoveClear(void *destination, void *source, uint32_t length);

} // namespace slot_list::internal

#endif // SLOT_LIST_LIST_H
