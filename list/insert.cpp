// Insertion, one element or many, and the growth it may need.

#include <cstdint>

#include "mem.h"
#include "platform/platform.h"
#include "slots.h"

using namespace slot_list::internal;

namespace {

// The offset of element inside block, when it points there.
bool OffsetInBlock(const ListBlock *block, const void *element, uintptr_t *offset) {
    uintptr_t start = reinterpret_cast<uintptr_t>(block);
    uintptr_t address = reinterpret_cast<uintptr_t>(element);
    if (address < start || address - start >= block->BlockSize) {
        return false;
    }
    *offset = address - start;
    return true;
}

// Adds slots slots to the block, keeping the handle, FirstHole and elements
// that lie in the block pointing at the same bytes. Returns 0 with nothing
// changed when the size overflows or the heap refuses.
int Grow(ListHandle *handle, const void **element, uint64_t slots) {
    ListBlock *block = *handle;
    uint32_t newSize;
    if (!SizeCalc(slots, block->ElementSize, block->BlockSize, &newSize)) {
        return 0;
    }
    uintptr_t elementOffset = 0;
    bool elementInBlock = OffsetInBlock(block, *element, &elementOffset);
    uint32_t firstHole = block->FirstHole == nullptr ? 0 : SlotIndex(block, block->FirstHole);

    auto *moved = static_cast<ListBlock *>(MemReAlloc(block, newSize));
    if (moved == nullptr) {
        return 0;
    }
    moved->BlockSize = newSize;
    if (moved->FirstHole != nullptr) {
        moved->FirstHole = SlotAt(moved, firstHole);
    }
    if (elementInBlock) {
        *element = reinterpret_cast<unsigned char *>(moved) + elementOffset;
    }
    *handle = moved;
    return 1;
}

// The body of ListInsert, run under the lock.
int InsertLocked(ListHandle *handle, const void *element) {
    ListBlock *block = *handle;
    uint32_t needed;
    if (BytesAreZero(static_cast<const unsigned char *>(element), block->ElementSize) ||
        !SizeCalc(uint64_t{block->Count} + 1, block->ElementSize, HeaderSize, &needed)) {
        return 0;
    }
    // The last slot is never filled: one all-zero slot always follows the used
    // range, so an unterminated string in the top slot still ends inside the block.
    if (needed >= block->BlockSize) {
        if (!Grow(handle, &element, block->GrowBy)) {
            return 0;
        }
        block = *handle;
    }
    PlatMove(SlotAt(block, block->Count), element, block->ElementSize);
    block->Count++;
    return 1;
}

// The body of ListInsertMany, run under the lock.
int InsertManyLocked(ListHandle *handle, const void *elements, uint32_t count) {
    ListBlock *block = *handle;
    const uint32_t size = block->ElementSize;
    const auto *first = static_cast<const unsigned char *>(elements);
    for (uint32_t i = 0; i < count; i++) {
        if (BytesAreZero(first + static_cast<size_t>(i) * size, size)) {
            return 0;
        }
    }
    // Room for the batch and the empty last slot, as count single inserts
    // would leave it: growth in whole steps of GrowBy slots.
    uint32_t needed;
    if (!SizeCalc(uint64_t{block->Count} + count + 1, size, HeaderSize, &needed)) {
        return 0;
    }
    if (needed > block->BlockSize) {
        uint64_t lacking = (uint64_t{needed} - block->BlockSize + size - 1) / size;
        uint64_t steps = (lacking + block->GrowBy - 1) / block->GrowBy;
        if (!Grow(handle, &elements, steps * block->GrowBy)) {
            return 0;
        }
        block = *handle;
    }
    PlatMove(SlotAt(block, block->Count), elements, static_cast<size_t>(count) * size);
    block->Count += count;
    return 1;
}

} // namespace

int ListInsertMany(ListHandle *handle, const void *elements, uint32_t count) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr || elements == nullptr) {
        return 0;
    }
    ListLock *lock = block->Lock;
    PlatLockEnter(lock);
    int result = InsertManyLocked(handle, elements, count);
    PlatLockLeave(lock);
    return result;
}

int ListInsert(ListHandle *handle, const void *element) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr || element == nullptr) {
        return 0;
    }
    ListLock *lock = block->Lock;
    PlatLockEnter(lock);
    int result = InsertLocked(handle, element);
    PlatLockLeave(lock);
    return result;
}
