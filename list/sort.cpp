// Sorting: the live elements put in order, the holes squeezed out.

#include <algorithm>
#include <cstring>
#include <utility>

#include "mem.h"
#include "slots.h"

using namespace slot_list::internal;

namespace {

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

// ListSort under the lock.
int SortLocked(ListBlock *block, ListOrderProc order, void *context) {
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
    EachLive(block, SideOf(block)->LeadingEmpty, [&s, &n, live](unsigned char *, uint32_t index) {
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
    return MemFree(scratch) != 0;
}

} // namespace

int ListSort(ListHandle *handle, ListOrderProc order, void *context) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr || order == nullptr) {
        return 0;
    }
    return UnderLock(block, [=] { return SortLocked(block, order, context); });
}
