// Creation and destruction.

#include <cstdint>

#include "mem.h"
#include "platform/platform.h"
#include "slots.h"

using namespace slot_list::internal;

namespace {

// The lock, after the list's side record, in storage of their own outside the
// block that growth moves; the side record starts zero.
ListLock *LockCreate() {
    uint32_t bytes;
    if (!SizeCalc(1, PlatLockSize(), SideSize, &bytes)) {
        return nullptr;
    }
    auto *storage = static_cast<unsigned char *>(MemAlloc(bytes));
    if (storage == nullptr) {
        return nullptr;
    }
    auto *lock = reinterpret_cast<ListLock *>(storage + SideSize);
    if (!PlatLockInit(lock)) {
        MemFree(storage);
        return nullptr;
    }
    return lock;
}

} // namespace

int ListCreate(ListHandle *handleOut, ListCompareProc compare, ListVisitProc visit, uint32_t growBy,
               uint32_t elementSize, uint32_t holeLimit) {
    if (handleOut == nullptr || compare == nullptr || visit == nullptr || growBy == 0 ||
        elementSize == 0) {
        return 0;
    }
    uint32_t blockSize;
    if (!SizeCalc(growBy, elementSize, HeaderSize, &blockSize)) {
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

int ListDestroy(ListHandle *handle) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr) {
        return 0;
    }
    ListLock *lock = block->Lock;
    void *storage = SideOf(block);
    int result = MemFree(block);
    if (!result) {
        return 0;
    }
    *handle = nullptr;
    PlatLockFini(lock);
    return MemFree(storage) ? result : 0;
}
