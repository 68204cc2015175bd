// A list's life: creation, insertion of one element or many with the growth
// it needs or a reservation asks for ahead, destruction; and the library's
// version.

#include <algorithm>

#include "list.h"

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

// Grows the block to newSize bytes, keeping the handle and FirstHole pointing
// at the same slots. Returns 0 with the list unchanged when the heap refuses.
int Grow(ListHandle *handle, uint32_t newSize) {
    ListBlock *block = *handle;
    uint32_t firstHole = block->FirstHole == nullptr ? 0 : SlotIndex(block, block->FirstHole);
    auto *moved = static_cast<ListBlock *>(MemReAlloc(block, newSize));
    if (moved == nullptr) {
        return 0;
    }
    moved->BlockSize = newSize;
    if (moved->FirstHole != nullptr) {
        moved->FirstHole = SlotAt(moved, firstHole);
    }
    *handle = moved;
    return 1;
}

// Grows the block to newSize bytes, then copies the length bytes at source
// into the slots from Count up as they were at the call: a source in the
// block is read where the growth moved it, and what of it lies in the header,
// which the growth rewrites, is kept aside first. Returns 0 with the list
// unchanged when the heap refuses.
int GrowAndCopy(ListHandle *handle, const void *source, size_t length, uint32_t newSize) {
    ListBlock *block = *handle;
    const auto *bytes = static_cast<const unsigned char *>(source);
    uintptr_t offset = 0;
    bool inBlock = OffsetInBlock(block, bytes, &offset);
    unsigned char header[HeaderSize];
    size_t kept = 0;
    if (inBlock && offset < HeaderSize) {
        kept = std::min<size_t>(length, HeaderSize - offset);
        memmove(header, bytes, kept);
    }
    if (!Grow(handle, newSize)) {
        return 0;
    }
    ListBlock *moved = *handle;
    if (inBlock) {
        bytes = reinterpret_cast<unsigned char *>(moved) + offset;
    }
    unsigned char *slot = SlotAt(moved, moved->Count);
    // What was not kept goes first: a batch reaching past Count may overlap
    // the slots written, which the kept bytes, copied out already, cannot.
    memmove(slot + kept, bytes + kept, length - kept);
    if (kept > 0) {
        memmove(slot, header, kept);
    }
    return 1;
}

// The block size that lets more single inserts after Count run without
// growing, the last slot left empty, in whole steps of GrowBy slots: into
// *newSize, or 0 there when the block has that room already. Returns 0 when
// a size does not fit in 32 bits.
int RoomFor(const ListBlock *block, uint32_t more, uint32_t *newSize) {
    const uint32_t size = block->ElementSize;
    uint32_t needed;
    if (!SizeCalc(uint64_t{block->Count} + more + 1, size, HeaderSize, &needed)) {
        return 0;
    }
    *newSize = 0;
    if (needed > block->BlockSize) {
        uint64_t lacking = (uint64_t{needed} - block->BlockSize + size - 1) / size;
        uint64_t steps = (lacking + block->GrowBy - 1) / block->GrowBy;
        return SizeCalc(steps * block->GrowBy, size, block->BlockSize, newSize);
    }
    return 1;
}

// The growth half of InsertLocked: the block has no room left for element.
SLOT_LIST_NOINLINE int GrowAndInsert(ListHandle *handle, const void *element) {
    uint32_t newSize;
    if (!RoomFor(*handle, 1, &newSize) ||
        !GrowAndCopy(handle, element, (*handle)->ElementSize, newSize)) {
        return 0;
    }
    (*handle)->Count++;
    return 1;
}

} // namespace

int ListInsertMany(ListHandle *handle, const void *elements, uint32_t count) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr || elements == nullptr) {
        return 0;
    }
    return UnderLock(block, [=] {
        const uint32_t size = block->ElementSize;
        uint32_t newSize;
        if (!RoomFor(block, count, &newSize)) {
            return 0;
        }
        // Only a batch that fits is read: one far too large is refused at once.
        const auto *first = static_cast<const unsigned char *>(elements);
        for (uint32_t i = 0; i < count; i++) {
            if (BytesAreZero(first + static_cast<size_t>(i) * size, size)) {
                return 0;
            }
        }
        const size_t length = static_cast<size_t>(count) * size;
        if (newSize == 0) {
            memmove(SlotAt(block, block->Count), elements, length);
        } else if (!GrowAndCopy(handle, elements, length, newSize)) {
            return 0;
        }
        (*handle)->Count += count;
        return 1;
    });
}

int ListInsert(ListHandle *handle, const void *element) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr || element == nullptr) {
        return 0;
    }
    return UnderLock(block, [=] {
        const uint32_t size = block->ElementSize;
        if (BytesAreZero(static_cast<const unsigned char *>(element), size)) {
            return 0;
        }
        // The last slot is never filled: one all-zero slot always follows the used
        // range, so an unterminated string in the top slot still ends inside the
        // block. At 64 bits the sum cannot wrap, and one past 32 bits is never
        // below BlockSize: the growth path refuses it.
        if ((uint64_t{block->Count} + 1) * size + HeaderSize >= block->BlockSize) {
            return GrowAndInsert(handle, element);
        }
        unsigned char *slot = SlotAt(block, block->Count);
        memmove(slot, element, size);
        block->Count++;
        return 1;
    });
}

int ListReserve(ListHandle *handle, uint32_t count) {
    ListBlock *block = BlockOf(handle);
    if (block == nullptr) {
        return 0;
    }
    return UnderLock(block, [=] {
        uint32_t newSize;
        return RoomFor(block, count, &newSize) && (newSize == 0 || Grow(handle, newSize));
    });
}

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
    // The lock and the record beside the block live apart from it, so that
    // a growth moving the block moves neither.
    auto *lock = static_cast<ListLock *>(MemAlloc(sizeof(ListLock)));
    if (lock == nullptr) {
        MemFree(block);
        return 0;
    }
    if (!PlatLockInit(&lock->Mutex)) {
        MemFree(lock);
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
    int result = MemFree(block);
    if (!result) {
        return 0;
    }
    *handle = nullptr;
    PlatLockFini(&lock->Mutex);
    return MemFree(lock) ? result : 0;
}

// The text comes from the same macros as the number, so the two cannot part.
#define SLOT_LIST_TEXT_OF(value) #value
#define SLOT_LIST_DIGITS(value) SLOT_LIST_TEXT_OF(value)

uint32_t ListVersion(void) {
    return SLOT_LIST_VERSION;
}

const char *ListVersionString(void) {
    return SLOT_LIST_DIGITS(SLOT_LIST_VERSION_MAJOR) "." SLOT_LIST_DIGITS(
        SLOT_LIST_VERSION_MINOR) "." SLOT_LIST_DIGITS(SLOT_LIST_VERSION_PATCH);
}
