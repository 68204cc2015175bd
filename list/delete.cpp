// Deletion, by key, by position or by predicate, the compaction pass it may
// end with, and the whole-list operations that leave no hole: clear, compact
// and sort.

#include <algorithm>
#include <utility>

#include "list.h"

namespace slot_list::internal {

void MemMoveClear(void *destination, void *source, uint32_t length) {
    memmove(destination, source, length);
    // Clear the part of the source the destination does not cover: all of it
    // when they are apart, below the destination when moving up, above the
    // destination's end when moving down.
    auto *from = static_cast<unsigned char *>(source);
    uintptr_t to = reinterpret_cast<uintptr_t>(destination);
    uintptr_t at = reinterpret_cast<uintptr_t>(source);
    if (to >= at + length || at >= to + length) {
        memset(from, 0, length);
    } else if (to > at) {
        memset(from, 0, to - at);
    } else if (to < at) {
        memset(from + length - (at - to), 0, at - to);
    }
}

} // namespace slot_list::internal

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
    uint32_t &leading = block->Lock->LeadingEmpty;
    unsigned char *slot = SlotAt(block, index);
    unsigned char *start = SlotAt(block, leading);
    // A slot below the first hole is live, so only with the first hole at or
    // below start can empty slots lie between start and slot. Those met are
    // passed for good, so that no later deletion reads them again.
    if (block->FirstHole != nullptr && block->FirstHole <= start) {
        leading += EmptyRun(start, index - leading, block->ElementSize);
    }
    if (index == leading) {
        // Every slot up to this one is empty now.
        leading = index + 1;
    }
    memset(slot, 0, block->ElementSize);
    block->HoleCount++;
    if (block->FirstHole == nullptr || slot < block->FirstHole) {
        block->FirstHole = slot;
    }
}

// Empties the used range's bookkeeping once no empty slot is left below
// count: Count becomes count, and no hole is counted or remembered.
void ResetHoles(ListBlock *block, uint32_t count) {
    block->Count = count;
    block->HoleCount = 0;
    block->FirstHole = nullptr;
    block->Lock->LeadingEmpty = 0;
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
    block->Lock->LeadingEmpty = 0;
    return 0;
}

// Squeezes every empty slot out of the used range, as a deletion's
// compaction does; returns Compact's result.
int CompactAll(ListBlock *block) {
    // Every empty slot in the used range is a counted hole: inserts refuse
    // all-zero elements.
    return block->HoleCount == 0 ? 1 : Compact(block, nullptr);
}

// Compacts when the holes exceed HoleLimit, renumbering *index as Compact
// does. Returns 1 when no compaction is due, or Compact's result.
int CompactIfDue(ListBlock *block, uint32_t *index) {
    return block->HoleCount <= block->HoleLimit ? 1 : Compact(block, index);
}

// What one sort works with: the slots it orders and its scratch block.
struct Sorting {
    ListBlock *Block;
    ListOrderProc Order;
    void *Context;
    uint32_t *Indices; // slot indices, in the order being built
    uint32_t *Spare;   // as many again, for the merges
};

// Whether slot b must go before slot a, which is ahead of it: only when the
// caller's order puts a strictly after b, so that equal elements keep their
// order.
bool Before(const Sorting &s, uint32_t b, uint32_t a) {
    return s.Order(SlotAt(s.Block, a), SlotAt(s.Block, b), s.Context) > 0;
}

// Merges the sorted runs from[first, middle) and from[middle, last) into
// to[first, last). Runs that are in order already are copied with one
// comparison.
void Merge(const Sorting &s, const uint32_t *from, uint32_t *to, uint32_t first, uint32_t middle,
           uint32_t last) {
    uint32_t i = first;
    uint32_t j = middle;
    uint32_t k = first;
    if (!Before(s, from[middle], from[middle - 1])) {
        memcpy(to + first, from + first, (last - first) * sizeof *to);
        return;
    }
    while (i < middle && j < last) {
        to[k++] = Before(s, from[j], from[i]) ? from[j++] : from[i++];
    }
    memcpy(to + k, from + i, (middle - i) * sizeof *to);
    k += middle - i;
    memcpy(to + k, from + j, (last - j) * sizeof *to);
}

// Sorts the count indices of s.Indices by s.Order, stably, bottom up in runs
// that double at each pass; the result ends in s.Indices. The scratch's size
// fits in 32 bits, so count is below 2^29 and no run bound can wrap.
void SortIndices(Sorting &s, uint32_t count) {
    for (uint32_t width = 1; width < count; width *= 2) {
        for (uint32_t first = 0; first < count; first += 2 * width) {
            uint32_t middle = std::min(first + width, count);
            uint32_t last = std::min(middle + width, count);
            if (middle < last) {
                Merge(s, s.Indices, s.Spare, first, middle, last);
            } else {
                memcpy(s.Spare + first, s.Indices + first, (last - first) * sizeof *s.Spare);
            }
        }
        std::swap(s.Indices, s.Spare);
    }
}

} // namespace

int ListDelete(ListHandle *handle, const void *key) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr || key == nullptr) {
        return 0;
    }
    return UnderLock(block, [=] {
        unsigned char *slot = FirstMatch(block, block->Lock->LeadingEmpty, key);
        if (slot == nullptr) {
            return 0;
        }
        ClearLive(block, SlotIndex(block, slot));
        return CompactIfDue(block, nullptr);
    });
}

int ListDeleteAt(ListHandle *handle, uint32_t *position) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr || position == nullptr) {
        return 0;
    }
    return UnderLock(block, [=] {
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
    });
}

uint32_t ListDeleteIf(ListHandle *handle, ListMatchProc match, void *context) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr || match == nullptr) {
        return 0;
    }
    return UnderLock(block, [=] {
        uint32_t deleted = 0;
        // Clearing the slot just visited leaves the rest of the walk as it was.
        EachLive(block, block->Lock->LeadingEmpty,
                 [block, match, context, &deleted](unsigned char *slot, uint32_t index) {
                     if (match(slot, index + 1, context) != 0) {
                         ClearLive(block, index);
                         deleted++;
                     }
                     return false;
                 });
        CompactIfDue(block, nullptr);
        return deleted;
    });
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

int ListSort(ListHandle *handle, ListOrderProc order, void *context) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr || order == nullptr) {
        return 0;
    }
    return UnderLock(block, [=] {
        const uint32_t size = block->ElementSize;
        const uint32_t live = block->Count - block->HoleCount;
        if (live < 2) {
            return CompactAll(block);
        }
        // The scratch holds two index arrays and the elements in their new order;
        // it is had first, so that a refusal leaves the list as it was.
        uint32_t indexBytes;
        uint32_t total;
        if (!SizeCalc(live, 2 * sizeof(uint32_t), 0, &indexBytes) ||
            !SizeCalc(live, size, indexBytes, &total)) {
            return 0;
        }
        auto *scratch = static_cast<unsigned char *>(MemAlloc(total));
        if (scratch == nullptr) {
            return 0;
        }
        Sorting s{block, order, context, reinterpret_cast<uint32_t *>(scratch),
                  reinterpret_cast<uint32_t *>(scratch) + live};
        // The walk stops at live slots however many the header claims.
        uint32_t n = 0;
        EachLive(block, block->Lock->LeadingEmpty, [&s, &n, live](unsigned char *, uint32_t index) {
            s.Indices[n++] = index;
            return n == live;
        });
        SortIndices(s, n);
        unsigned char *ordered = scratch + indexBytes;
        for (uint32_t i = 0; i < n; i++) {
            memcpy(ordered + static_cast<size_t>(i) * size, SlotAt(block, s.Indices[i]), size);
        }
        const size_t length = static_cast<size_t>(n) * size;
        memcpy(SlotAt(block, 0), ordered, length);
        memset(SlotAt(block, n), 0, static_cast<size_t>(block->Count) * size - length);
        ResetHoles(block, n);
        return MemFree(scratch) != 0 ? 1 : 0;
    });
}
