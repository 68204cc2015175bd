// Insertion, one element or many, and the growth it may need.

#include <algorithm>
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

// The bytes an insert copies, Length of them at Bytes, which may lie in the
// block. A growth re-points Bytes when the block moves; what of them lies in
// the header, which the growth rewrites, it first keeps in Header.
struct Source {
    // Header is filled only when needed: the common path writes no more.
    Source(const void *bytes, size_t length)
        : Bytes(static_cast<const unsigned char *>(bytes)), Length(length) {}
    const unsigned char *Bytes;
    size_t Length;
    uint32_t Kept = 0; // leading bytes held in Header instead
    unsigned char Header[HeaderSize];
};

// Resizes the block to newSize bytes, keeping the handle, FirstHole and the
// source pointing at the same bytes as before. Returns 0 with the list
// unchanged when the heap refuses.
int Grow(ListHandle *handle, Source *source, uint32_t newSize) {
    ListBlock *block = *handle;
    uintptr_t offset = 0;
    bool inBlock = OffsetInBlock(block, source->Bytes, &offset);
    if (inBlock && offset < HeaderSize) {
        source->Kept = static_cast<uint32_t>(std::min<size_t>(source->Length, HeaderSize - offset));
        PlatMove(source->Header, source->Bytes, source->Kept);
    }
    uint32_t firstHole = block->FirstHole == nullptr ? 0 : SlotIndex(block, block->FirstHole);

    auto *moved = static_cast<ListBlock *>(MemReAlloc(block, newSize));
    if (moved == nullptr) {
        return 0;
    }
    moved->BlockSize = newSize;
    if (moved->FirstHole != nullptr) {
        moved->FirstHole = SlotAt(moved, firstHole);
    }
    if (inBlock) {
        source->Bytes = reinterpret_cast<unsigned char *>(moved) + offset;
    }
    *handle = moved;
    return 1;
}

// Copies the source into the slots from Count up.
void CopyIn(ListBlock *block, const Source &source) {
    unsigned char *slot = SlotAt(block, block->Count);
    // What was not kept goes first: a batch reaching past Count may overlap
    // the slots written, which the kept bytes, copied out already, cannot.
    PlatMove(slot + source.Kept, source.Bytes + source.Kept, source.Length - source.Kept);
    if (source.Kept > 0) {
        PlatMove(slot, source.Header, source.Kept);
    }
}

// The body of ListInsert, run under the lock.
int InsertLocked(ListHandle *handle, const void *element) {
    ListBlock *block = *handle;
    const uint32_t size = block->ElementSize;
    uint32_t needed;
    if (BytesAreZero(static_cast<const unsigned char *>(element), size) ||
        !SizeCalc(uint64_t{block->Count} + 1, size, HeaderSize, &needed)) {
        return 0;
    }
    Source source(element, size);
    // The last slot is never filled: one all-zero slot always follows the used
    // range, so an unterminated string in the top slot still ends inside the block.
    if (needed >= block->BlockSize) {
        uint32_t newSize;
        if (!SizeCalc(block->GrowBy, size, block->BlockSize, &newSize) ||
            !Grow(handle, &source, newSize)) {
            return 0;
        }
        block = *handle;
    }
    CopyIn(block, source);
    block->Count++;
    return 1;
}

// The body of ListInsertMany, run under the lock.
int InsertManyLocked(ListHandle *handle, const void *elements, uint32_t count) {
    ListBlock *block = *handle;
    const uint32_t size = block->ElementSize;
    // Room for the batch and the empty last slot, as count single inserts
    // would leave it: growth in whole steps of GrowBy slots.
    uint32_t needed;
    if (!SizeCalc(uint64_t{block->Count} + count + 1, size, HeaderSize, &needed)) {
        return 0;
    }
    uint32_t newSize = 0;
    if (needed > block->BlockSize) {
        uint64_t lacking = (uint64_t{needed} - block->BlockSize + size - 1) / size;
        uint64_t steps = (lacking + block->GrowBy - 1) / block->GrowBy;
        if (!SizeCalc(steps * block->GrowBy, size, block->BlockSize, &newSize)) {
            return 0;
        }
    }
    // Only a batch that fits is read: one far too large is refused at once.
    const auto *first = static_cast<const unsigned char *>(elements);
    for (uint32_t i = 0; i < count; i++) {
        if (BytesAreZero(first + static_cast<size_t>(i) * size, size)) {
            return 0;
        }
    }
    Source source(first, static_cast<size_t>(count) * size);
    if (newSize != 0) {
        if (!Grow(handle, &source, newSize)) {
            return 0;
        }
        block = *handle;
    }
    CopyIn(block, source);
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
