// Walks: traversal, search, the step to the next live slot, the number of
// live slots, and the zero scan behind the empty-slot rule.

#include <algorithm>

#include "list.h"

namespace slot_list::internal {
size_t ZeroPrefix(const unsigned char *bytes, size_t length) {
    // A long run of zeros (holes side by side) goes to the C library's memcmp
    // against a zero chunk, which reads far faster than a loop of ours; the
    // word and byte loops after it pin down where the first non-zero byte is.
    static const unsigned char ZeroChunk[1024] = {};
    size_t i = 0;
    for (; length - i >= sizeof ZeroChunk; i += sizeof ZeroChunk) {
        if (memcmp(bytes + i, ZeroChunk, sizeof ZeroChunk) != 0) {
            break;
        }
    }
    for (; length - i >= 4 * sizeof(uint64_t); i += 4 * sizeof(uint64_t)) {
        uint64_t words[4];
        memcpy(words, bytes + i, sizeof words);
        if (((words[0] | words[1]) | (words[2] | words[3])) != 0) {
            break;
        }
    }
    for (; length - i >= sizeof(uint64_t); i += sizeof(uint64_t)) {
        uint64_t word;
        memcpy(&word, bytes + i, sizeof word);
        if (word != 0) {
            break;
        }
    }
    for (; i < length; i++) {
        if (bytes[i] != 0) {
            return i;
        }
    }
    return length;
}

uint32_t EmptyRun(const unsigned char *slot, uint32_t slots, uint32_t size) {
    // Every slot wholly inside the zero prefix is empty, and the slot holding
    // the first non-zero byte is live.
    size_t zeros = ZeroPrefix(slot, static_cast<size_t>(slots) * size);
    return static_cast<uint32_t>(zeros / size);
}

} // namespace slot_list::internal

using namespace slot_list::internal;

void ListTraverse(ListHandle *handle) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr) {
        return;
    }
    UnderLock(block, [block] {
        const ListVisitProc visit = block->Visit;
        EachLive(block, block->Lock->LeadingEmpty,
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
    EachLive(block, block->Lock->LeadingEmpty,
             [compare, key, &found](unsigned char *slot, uint32_t) {
                 if (compare(key, slot) == 0) {
                     found = slot;
                 }
                 return false;
             });
    return found;
}

namespace {

// ListNext for a first slot that may be empty, and for position 0 or past
// Count: the first live slot at index first or after it, or NULL. Apart, so
// that the walk over live slots saves no registers.
SLOT_LIST_NOINLINE void *NextAfterHoles(ListBlock *block, uint32_t *position) {
    const uint32_t count = block->Count;
    uint32_t first = *position == 0 ? 0 : *position - 1;
    if (first >= count) {
        return nullptr;
    }
    first = std::max(first, block->Lock->LeadingEmpty);
    // The first live slot is the one that ends the run of empty ones.
    uint32_t index = first + EmptyRun(SlotAt(block, first), count - first, block->ElementSize);
    if (index >= count) {
        return nullptr;
    }
    *position = index + 1;
    return SlotAt(block, index);
}

} // namespace

void *ListNext(ListHandle *handle, uint32_t *position) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr || position == nullptr) {
        return nullptr;
    }
    // Position 0 wraps past Count, to the other path.
    const uint32_t first = *position - 1;
    if (first < block->Count) {
        // Below Count the offset fits in 32 bits, as the block does.
        unsigned char *slot = SlotAt(block, 0) + first * block->ElementSize;
        // A slot whose first byte is not zero is live, and so is every slot
        // below the first hole (with no hole, less one, NULL reads as the
        // highest address). *position already holds its position.
        if (*slot != 0 || reinterpret_cast<uintptr_t>(slot) - 1 <
                              reinterpret_cast<uintptr_t>(block->FirstHole) - 1) {
            return slot;
        }
    }
    return NextAfterHoles(block, position);
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
