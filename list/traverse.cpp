// Traversal and search.

#include "list_internal.h"
#include "platform/platform.h"

void ListTraverse(ListHandle *handle) {
    ListBlock *block = ListBlockOf(handle);
    if (block == nullptr) {
        return;
    }
    PlatLockEnter(block->Lock);
    for (uint32_t i = 0; i < block->Count; i++) {
        const unsigned char *slot = ListSlot(block, i);
        if (!ListBytesAreZero(slot, block->ElementSize)) {
            block->Visit(slot, i + 1, 0);
        }
    }
    block->Visit(nullptr, 0, 1);
    PlatLockLeave(block->Lock);
}

void *ListFind(ListHandle *handle, const void *key) {
    ListBlock *block = ListBlockOf(handle);
    if (block == nullptr || key == nullptr) {
        return nullptr;
    }
    void *found = nullptr;
    for (uint32_t i = 0; i < block->Count; i++) {
        unsigned char *slot = ListSlot(block, i);
        // The last match wins, so the walk goes on past a hit.
        if (!ListBytesAreZero(slot, block->ElementSize) && block->Compare(key, slot) == 0) {
            found = slot;
        }
    }
    return found;
}
