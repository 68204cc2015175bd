// Traversal, search, the walk over live slots and their number.

#include <algorithm>

#include "platform/platform.h"
#include "slots.h"

using namespace slot_list::internal;

void ListTraverse(ListHandle *handle) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr) {
        return;
    }
    UnderLock(block, [block] {
        const ListVisitProc visit = block->Visit;
        EachLive(block, SideOf(block)->LeadingEmpty,
                 [visit](const unsigned char *slot, uint32_t index) {
                     visit(slot, index + 1, 0);
                     return false;
                 });
        visit(nullptr, 0, 1);
        return 0;
    });
}

void *ListFind(ListHandle *handle, const void *key) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr || key == nullptr) {
        return nullptr;
    }
    const ListCompareProc compare = block->Compare;
    void *found = nullptr;
    // The last match wins, so the walk goes on past a hit.
    EachLive(block, SideOf(block)->LeadingEmpty,
             [compare, key, &found](unsigned char *slot, uint32_t) {
                 if (compare(key, slot) == 0) {
                     found = slot;
                 }
                 return false;
             });
    return found;
}

void *ListNext(ListHandle *handle, uint32_t *position) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr || position == nullptr) {
        return nullptr;
    }
    const uint32_t count = block->Count;
    uint32_t first = *position == 0 ? 0 : *position - 1;
    if (first >= count) {
        return nullptr;
    }
    unsigned char *slot = SlotAt(block, first);
    // Below the first hole every slot is live, and so is one whose first
    // word shows a non-zero byte.
    if (block->FirstHole == nullptr || slot < block->FirstHole ||
        !MayBeEmpty(slot, block->ElementSize)) {
        *position = first + 1;
        return slot;
    }
    // The first live slot is the one that ends the run of empty ones.
    first = std::max(first, SideOf(block)->LeadingEmpty);
    uint32_t index = first + EmptyRun(SlotAt(block, first), count - first, block->ElementSize);
    if (index == count) {
        return nullptr;
    }
    *position = index + 1;
    return SlotAt(block, index);
}

uint32_t ListSize(ListHandle *handle) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr) {
        return 0;
    }
    // Every empty slot in the used range is a counted hole: inserts refuse
    // all-zero elements.
    return block->Count - block->HoleCount;
}
