// Deletion, by key, by position or by predicate, the compaction pass it may
// end with, and emptying or compacting the whole list at once.

#include <algorithm>
#include <cstring>

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

// Clears the live slot index and counts it as a hole, keeping FirstHole and
// the leading-empty record true; compacts nothing. What every deletion does
// once it has its slot.
void ClearLive(ListBlock *block, uint32_t index) {
    Side *side = SideOf(block);
    unsigned char *slot = SlotAt(block, index);
    unsigned char *start = SlotAt(block, side->LeadingEmpty);
    // A slot below the first hole is live, so only with the first hole at or
    // below start can empty slots lie between start and slot. Those met are
    // passed for good, so that no later deletion reads them again.
    if (block->FirstHole != nullptr && block->FirstHole <= start) {
        side->LeadingEmpty += EmptyRun(start, index - side->LeadingEmpty, block->ElementSize);
    }
    if (index == side->LeadingEmpty) {
        // Every slot up to this one is empty now.
        side->LeadingEmpty = index + 1;
    }
    memset(slot, 0, block->ElementSize);
    block->HoleCount++;
    if (block->FirstHole == nullptr || slot < block->FirstHole) {
        block->FirstHole = slot;
    }
}

// Removes empty slots from FirstHole upward until no counted hole remains,
// moving the slots above each one down, in place; the vacated top slots are
// cleared. When index is not NULL, *index (a slot index, at most Count) is
// renumbered to where that slot is afterwards or, if it was removed, to where
// the first slot after it that stays is. Returns 1 with HoleCount 0 and
// FirstHole NULL. Returns 0 when the walk passes the last used slot with holes
// still counted (the header no longer matches the slots); every empty slot met
// has been removed, Count and HoleCount are lowered for them, *index is
// renumbered all the same and FirstHole keeps its value. The caller holds the
// lock.
int Compact(ListBlock *block, uint32_t *index) {
    const uint32_t size = block->ElementSize;
    const uint32_t count = block->Count;
    uint32_t holes = block->HoleCount;
    const uint32_t follow = index == nullptr ? 0 : *index;
    uint32_t removedBelow = 0;
    // One pass with a read index r and a write index w: empty slots met while
    // holes are still counted are dropped, each run of other slots moves down
    // once, and the first holes-th empty slot ends the walk with the rest of
    // the used range moving down as it stands. Every move clears what it
    // vacates, so everything from w to r is zero throughout and the top of
    // the used range reads as empty at the end.
    uint32_t r = SlotIndex(block, block->FirstHole);
    uint32_t w = r;
    while (r < count && holes > 0) {
        // A run of holes is read as one zero scan, no further than the
        // holes still counted.
        uint32_t empty = EmptyRun(SlotAt(block, r), std::min(count - r, holes), size);
        if (empty > 0) {
            if (r < follow) {
                removedBelow += std::min(empty, follow - r);
            }
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
    if (index != nullptr) {
        *index = follow - removedBelow;
    }
    if (holes == 0) {
        ResetHoles(block, w);
        return 1;
    }
    // The walk passed the last used slot with holes still counted. Empty
    // slots below the start may have moved up to it: start over.
    block->Count = w;
    block->HoleCount = holes;
    SideOf(block)->LeadingEmpty = 0;
    return 0;
}

// Compacts when the holes exceed HoleLimit, renumbering *index as Compact
// does. Returns 1 when no compaction is due, or Compact's result.
int CompactIfDue(ListBlock *block, uint32_t *index) {
    return block->HoleCount <= block->HoleLimit ? 1 : Compact(block, index);
}

// The body of ListDelete, run under the lock.
int DeleteLocked(ListBlock *block, const void *key) {
    unsigned char *slot = FirstMatch(block, SideOf(block)->LeadingEmpty, key);
    if (slot == nullptr) {
        return 0;
    }
    ClearLive(block, SlotIndex(block, slot));
    return CompactIfDue(block, nullptr);
}

// The body of ListDeleteAt, run under the lock.
int DeleteAtLocked(ListBlock *block, uint32_t *position) {
    if (*position == 0 || *position > block->Count) {
        return 0;
    }
    const uint32_t index = *position - 1;
    if (BytesAreZero(SlotAt(block, index), block->ElementSize)) {
        return 0;
    }
    ClearLive(block, index);
    // A walk goes on at the slot after the deleted one.
    uint32_t next = index + 1;
    int result = CompactIfDue(block, &next);
    *position = next + 1;
    return result;
}

// The body of ListDeleteIf, run under the lock.
uint32_t DeleteIfLocked(ListBlock *block, ListMatchProc match, void *context) {
    uint32_t deleted = 0;
    // Clearing the slot just visited leaves the rest of the walk as it was.
    EachLive(block, SideOf(block)->LeadingEmpty,
             [block, match, context, &deleted](unsigned char *slot, uint32_t index) {
                 if (match(slot, index + 1, context) != 0) {
                     ClearLive(block, index);
                     deleted++;
                 }
                 return false;
             });
    CompactIfDue(block, nullptr);
    return deleted;
}

} // namespace

namespace slot_list::internal {

void ResetHoles(ListBlock *block, uint32_t count) {
    block->Count = count;
    block->HoleCount = 0;
    block->FirstHole = nullptr;
    SideOf(block)->LeadingEmpty = 0;
}

int CompactAll(ListBlock *block) {
    // Every empty slot in the used range is a counted hole: inserts refuse
    // all-zero elements.
    return block->HoleCount == 0 ? 1 : Compact(block, nullptr);
}

} // namespace slot_list::internal

int ListDelete(ListHandle *handle, const void *key) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr || key == nullptr) {
        return 0;
    }
    return UnderLock(block, [=] { return DeleteLocked(block, key); });
}

int ListDeleteAt(ListHandle *handle, uint32_t *position) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr || position == nullptr) {
        return 0;
    }
    return UnderLock(block, [=] { return DeleteAtLocked(block, position); });
}

uint32_t ListDeleteIf(ListHandle *handle, ListMatchProc match, void *context) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr || match == nullptr) {
        return 0;
    }
    return UnderLock(block, [=] { return DeleteIfLocked(block, match, context); });
}

int ListClear(ListHandle *handle) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr) {
        return 0;
    }
    return UnderLock(block, [=] {
        memset(SlotAt(block, 0), 0, static_cast<size_t>(block->Count) * block->ElementSize);
        ResetHoles(block, 0);
        return 1;
    });
}

int ListCompact(ListHandle *handle) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr) {
        return 0;
    }
    return UnderLock(block, [=] { return CompactAll(block); });
}
