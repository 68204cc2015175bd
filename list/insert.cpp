// Creation, insertion and destruction.

#include <cstdint>

#include "list_internal.h"
#include "mem.h"
#include "platform/platform.h"

namespace {

// A lock in storage of its own, outside the block that growth moves.
ListLock *LockCreate() {
    auto *lock = static_cast<ListLock *>(MemAlloc(PlatLockSize()));
    if (lock == nullptr) {
        return nullptr;
    }
    if (!PlatLockInit(lock)) {
        MemFree(lock);
        return nullptr;
    }
    return lock;
}

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

// Adds GrowBy slots to the block, keeping the handle, FirstHole and an element
// that lies in the block pointing at the same bytes. Returns 0 with nothing
// changed when the size overflows or the heap refuses.
int Grow(ListHandle *handle, const void **element) {
    ListBlock *block = *handle;
    uint32_t newSize;
    if (!ListSizeCalc(block->GrowBy, block->ElementSize, block->BlockSize, &newSize)) {
        return 0;
    }
    uintptr_t elementOffset = 0;
    bool elementInBlock = OffsetInBlock(block, *element, &elementOffset);
    uint32_t firstHole = block->FirstHole == nullptr ? 0 : ListSlotIndex(block, block->FirstHole);

    auto *moved = static_cast<ListBlock *>(MemReAlloc(block, newSize));
    if (moved == nullptr) {
        return 0;
    }
    moved->BlockSize = newSize;
    if (moved->FirstHole != nullptr) {
        moved->FirstHole = ListSlot(moved, firstHole);
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
    if (ListBytesAreZero(static_cast<const unsigned char *>(element), block->ElementSize) ||
        !ListSizeCalc(uint64_t{block->Count} + 1, block->ElementSize, ListHeaderSize, &needed)) {
        return 0;
    }
    // The last slot is never filled: one all-zero slot always follows the used
    // range, so an unterminated string in the top slot still ends inside the block.
    if (needed >= block->BlockSize) {
        if (!Grow(handle, &element)) {
            return 0;
        }
        block = *handle;
    }
    PlatMove(ListSlot(block, block->Count), element, block->ElementSize);
    block->Count++;
    return 1;
}

} // namespace

int ListCreate(ListHandle *handleOut, ListCompareProc compare, ListVisitProc visit, uint32_t growBy,
               uint32_t elementSize, uint32_t holeLimit) {
    if (handleOut == nullptr || compare == nullptr || visit == nullptr || growBy == 0 ||
        elementSize == 0) {
        return 0;
    }
    uint32_t blockSize;
    if (!ListSizeCalc(growBy, elementSize, ListHeaderSize, &blockSize)) {
        return 0;
    }
    auto *block = static_cast<ListBlock *>(MemAlloc(blockSize));
    if (block == nullptr) {
        return 0;
    }
    ListLock *lock = LockCreate();
    if (lock == nullptr) {
        MemFree(block);
        return 0;
    }
    block->Compare = compare;
    block->Visit = visit;
    block->BlockSize = blockSize;
    block->Count = 0;
    block->GrowBy = growBy;
    block->ElementSize = elementSize;
    block->HoleCount = 0;
    block->HoleLimit = holeLimit;
    block->FirstHole = nullptr;
    block->Lock = lock;
    *handleOut = block;
    return 1;
}

int ListInsert(ListHandle *handle, const void *element) {
    ListBlock *block = ListBlockOf(handle);
    if (block == nullptr || element == nullptr) {
        return 0;
    }
    ListLock *lock = block->Lock;
    PlatLockEnter(lock);
    int result = InsertLocked(handle, element);
    PlatLockLeave(lock);
    return result;
}

int ListDestroy(ListHandle *handle) {
    ListBlock *block = ListBlockOf(handle);
    if (block == nullptr) {
        return 0;
    }
    ListLock *lock = block->Lock;
    int result = MemFree(block);
    if (!result) {
        return 0;
    }
    *handle = nullptr;
    PlatLockFini(lock);
    return MemFree(lock) ? result : 0;
}
