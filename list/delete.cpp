// Deletion and compaction.

#include "list_internal.h"
#include "mem.h"
#include "platform/platform.h"

namespace {

// The first live slot the comparator calls equal to key, or NULL.
unsigned char *FirstMatch(ListBlock *block, const void *key) {
    const ListCompareProc compare = block->Compare;
    // A hole is never compared: matching one would count it twice.
    return ListEachLive(
        block, [compare, key](unsigned char *slot, uint32_t) { return compare(slot, key) == 0; });
}

// The body of ListDelete, run under the lock.
int DeleteLocked(ListBlock *block, const void *key) {
    unsigned char *slot = FirstMatch(block, key);
    if (slot == nullptr) {
        return 0;
    }
    PlatZero(slot, block->ElementSize);
    block->HoleCount++;
    if (block->FirstHole == nullptr || slot < block->FirstHole) {
        block->FirstHole = slot;
    }
    if (block->HoleCount <= block->HoleLimit) {
        return 1;
    }
    return ListCompact(block, block->FirstHole);
}

} // namespace

int ListDelete(ListHandle *handle, const void *key) {
    ListBlock *block = ListBlockOf(handle);
    if (block == nullptr || key == nullptr) {
        return 0;
    }
    PlatLockEnter(block->Lock);
    int result = DeleteLocked(block, key);
    PlatLockLeave(block->Lock);
    return result;
}

int ListCompact(ListBlock *block, unsigned char *start) {
    const uint32_t size = block->ElementSize;
    const uint32_t count = block->Count;
    uint32_t holes = block->HoleCount;
    // One pass with a read index r and a write index w: empty slots met while
    // holes are still counted are dropped, each run of other slots moves down
    // once, and the first holes-th empty slot ends the walk with the rest of
    // the used range moving down as it stands.
    uint32_t r = ListSlotIndex(block, start);
    uint32_t w = r;
    while (r < count && holes > 0) {
        if (ListBytesAreZero(ListSlot(block, r), size)) {
            r++;
            holes--;
            continue;
        }
        uint32_t run = r;
        while (r < count && !ListBytesAreZero(ListSlot(block, r), size)) {
            r++;
        }
        // The walk starts at a hole, so every run lies above w and moves.
        PlatMove(ListSlot(block, w), ListSlot(block, run), static_cast<size_t>(r - run) * size);
        w += r - run;
    }
    if (r < count) {
        PlatMove(ListSlot(block, w), ListSlot(block, r), static_cast<size_t>(count - r) * size);
        w += count - r;
    }
    // What was vacated at the top reads as empty again.
    PlatZero(ListSlot(block, w), static_cast<size_t>(count - w) * size);
    block->Count = w;
    block->HoleCount = holes;
    if (holes > 0) {
        // The walk passed the last used slot with holes still counted.
        return 0;
    }
    block->FirstHole = nullptr;
    return 1;
}

int MemMoveClear(void *destination, void *source, uint32_t length) {
    PlatMove(destination, source, length);
    // Clear the part of the source the destination does not cover: all of it
    // when they are apart, below the destination when moving up, above the
    // destination's end when moving down.
    auto *from = static_cast<unsigned char *>(source);
    uintptr_t to = reinterpret_cast<uintptr_t>(destination);
    uintptr_t at = reinterpret_cast<uintptr_t>(source);
    if (to >= at + length || at >= to + length) {
        PlatZero(from, length);
    } else if (to > at) {
        PlatZero(from, to - at);
    } else if (to < at) {
        PlatZero(from + length - (at - to), at - to);
    }
    return 1;
}
