// Deletion and the compaction pass it may end with.

#include <algorithm>

#include "mem.h"
#include "platform/platform.h"
#include "slots.h"

using namespace slot_list::internal;

namespace {

// The first live slot from index first up that the comparator calls equal to
// key, or NULL. A hole is never compared: matching one would count it twice.
unsigned char *FirstMatch(ListBlock *block, uint32_t first, const void *key) {
    const ListCompareProc compare = block->Compare;
    return EachLive(block, first, [compare, key](unsigned char *slot, uint32_t) {
        return compare(slot, key) == 0;
    });
}

// Whether live slot is the first live slot from index first up. Worked out
// once, after the walk, rather than counted slot by slot in it: a slot below
// the first hole is live, so only with the first hole at or below index first
// can empty slots lie in front of it.
bool FirstLive(ListBlock *block, uint32_t first, unsigned char *slot) {
    unsigned char *start = SlotAt(block, first);
    uint32_t before = SlotIndex(block, slot) - first;
    return before == 0 || (block->FirstHole != nullptr && block->FirstHole <= start &&
                           EmptyRun(start, before, block->ElementSize) == before);
}

// Removes empty slots from start upward until no counted hole remains, moving
// the slots above each one down, in place; the vacated top slots are cleared.
// Returns 1 with HoleCount 0 and FirstHole NULL. Returns 0 when the walk passes
// the last used slot with holes still counted (the header no longer matches
// the slots); every empty slot met has been removed, Count and HoleCount are
// lowered for them and FirstHole keeps its value. The caller holds the lock.
int Compact(ListBlock *block, unsigned char *start) {
    const uint32_t size = block->ElementSize;
    const uint32_t count = block->Count;
    uint32_t holes = block->HoleCount;
    // One pass with a read index r and a write index w: empty slots met while
    // holes are still counted are dropped, each run of other slots moves down
    // once, and the first holes-th empty slot ends the walk with the rest of
    // the used range moving down as it stands. Every move clears what it
    // vacates, so everything from w to r is zero throughout and the top of
    // the used range reads as empty at the end.
    uint32_t r = SlotIndex(block, start);
    uint32_t w = r;
    while (r < count && holes > 0) {
        // A run of holes is read as one zero scan, no further than the
        // holes still counted.
        uint32_t empty = EmptyRun(SlotAt(block, r), std::min(count - r, holes), size);
        if (empty > 0) {
            r += empty;
            holes -= empty;
            continue;
        }
        uint32_t run = r;
        while (r < count && !BytesAreZero(SlotAt(block, r), size)) {
            r++;
        }
        MemMoveClear(SlotAt(block, w), SlotAt(block, run), (r - run) * size);
        w += r - run;
    }
    MemMoveClear(SlotAt(block, w), SlotAt(block, r), (count - r) * size);
    w += count - r;
    block->Count = w;
    // Empty slots below the start may have moved up to it: start over.
    SideOf(block)->LeadingEmpty = 0;
    block->HoleCount = holes;
    if (holes > 0) {
        // The walk passed the last used slot with holes still counted.
        return 0;
    }
    block->FirstHole = nullptr;
    return 1;
}

// The body of ListDelete, run under the lock.
int DeleteLocked(ListBlock *block, const void *key) {
    const uint32_t first = SideOf(block)->LeadingEmpty;
    unsigned char *slot = FirstMatch(block, first, key);
    if (slot == nullptr) {
        return 0;
    }
    bool leading = FirstLive(block, first, slot);
    PlatZero(slot, block->ElementSize);
    if (leading) {
        // Every slot up to this one is empty now.
        SideOf(block)->LeadingEmpty = SlotIndex(block, slot) + 1;
    }
    block->HoleCount++;
    if (block->FirstHole == nullptr || slot < block->FirstHole) {
        block->FirstHole = slot;
    }
    if (block->HoleCount <= block->HoleLimit) {
        return 1;
    }
    return Compact(block, block->FirstHole);
}

} // namespace

int ListDelete(ListHandle *handle, const void *key) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr || key == nullptr) {
        return 0;
    }
    PlatLockEnter(block->Lock);
    int result = DeleteLocked(block, key);
    PlatLockLeave(block->Lock);
    return result;
}
