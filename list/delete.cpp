// Deletion and compaction.

#include "list_internal.h"
#include "mem.h"
#include "platform/platform.h"

namespace {

// The first live slot the comparator calls equal to key, or NULL.
unsigned char *FirstMatch(ListBlock *block, const void *key) {
    for (uint32_t i = 0; i < block->Count; i++) {
        unsigned char *slot = ListSlot(block, i);
        // A hole is never compared: matching one would count it twice.
        if (!ListBytesAreZero(slot, block->ElementSize) && block->Compare(slot, key) == 0) {
            return slot;
        }
    }
    return nullptr;
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
    uint32_t k = ListSlotIndex(block, start);
    while (k < block->Count) {
        unsigned char *slot = ListSlot(block, k);
        if (!ListBytesAreZero(slot, block->ElementSize)) {
            k++;
            continue;
        }
        uint32_t length = 0;
        ListSizeCalc(block->Count - 1 - k, block->ElementSize, 0, &length);
        if (!MemMoveClear(slot, slot + block->ElementSize, length)) {
            return 0;
        }
        block->Count--;
        block->HoleCount--;
        if (block->HoleCount == 0) {
            block->FirstHole = nullptr;
            return 1;
        }
        // The slot that moved down into k is examined next, so a run of
        // adjacent holes goes in one walk.
    }
    // Passed the last used slot with holes still counted.
    return 0;
}

int MemMoveClear(void *destination, void *source, uint32_t length) {
    if (length == 0) {
        return 1;
    }
    void *scratch = MemAlloc(length);
    if (scratch == nullptr) {
        return 0;
    }
    // The whole source is saved and cleared before the destination is written,
    // so any overlap works and the uncovered source ends up zero.
    PlatMove(scratch, source, length);
    PlatZero(source, length);
    PlatMove(destination, scratch, length);
    return MemFree(scratch) ? 1 : 0;
}
