// Traversal and search.

#include "list_internal.h"
#include "platform/platform.h"

void ListTraverse(ListHandle *handle) {
    ListBlock *block = ListBlockOf(handle);
    if (block == nullptr) {
        return;
    }
    PlatLockEnter(block->Lock);
    const ListVisitProc visit = block->Visit;
    ListEachLive(block, [visit](const unsigned char *slot, uint32_t index) {
        visit(slot, index + 1, 0);
        return false;
    });
    visit(nullptr, 0, 1);
    PlatLockLeave(block->Lock);
}

void *ListFind(ListHandle *handle, const void *key) {
    ListBlock *block = ListBlockOf(handle);
    if (block == nullptr || key == nullptr) {
        return nullptr;
    }
    const ListCompareProc compare = block->Compare;
    void *found = nullptr;
    // The last match wins, so the walk goes on past a hit.
    ListEachLive(block, [compare, key, &found](unsigned char *slot, uint32_t) {
        if (compare(key, slot) == 0) {
            found = slot;
        }
        return false;
    });
    return found;
}
