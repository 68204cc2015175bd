// The heap: the ListSetHeap hook every allocation goes through, and the
// library's own default heap, geometric capacity on the C heap.

#include "list.h"

namespace slot_list::internal {

namespace {

struct Prefix {
    uint32_t Capacity; // bytes the caller's part can hold
    uint32_t Size;     // bytes the caller asked for
};

// A multiple of the C heap's alignment keeps the caller's part aligned as
// the C heap aligns blocks.
constexpr size_t PrefixSize = (sizeof(Prefix) + alignof(std::max_align_t) - 1) /
                              alignof(std::max_align_t) * alignof(std::max_align_t);

Prefix *PrefixOf(void *block) {
    return reinterpret_cast<Prefix *>(static_cast<unsigned char *>(block) - PrefixSize);
}

unsigned char *BytesOf(Prefix *prefix) {
    return reinterpret_cast<unsigned char *>(prefix) + PrefixSize;
}

// a + b into *sum; false when it does not fit in a size_t.
bool AddSizes(size_t a, size_t b, size_t *sum) {
    if (a > SIZE_MAX - b) {
        return false;
    }
    *sum = a + b;
    return true;
}

// The C heap's size for capacity bytes into *total; false when it does not
// fit in a size_t (at 32 bits a size near 2^32 would wrap to a tiny block).
bool WithPrefix(uint32_t capacity, size_t *total) {
    return AddSizes(capacity, PrefixSize, total);
}

// Moves the block to a capacity of capacity bytes; NULL with it untouched
// when the C heap refuses or the size does not fit.
Prefix *Move(const CHeap &heap, Prefix *prefix, uint32_t capacity) {
    size_t total;
    if (!WithPrefix(capacity, &total)) {
        return nullptr;
    }
    auto *moved = static_cast<Prefix *>(heap.ReAlloc(prefix, total));
    if (moved != nullptr) {
        moved->Capacity = capacity;
    }
    return moved;
}

} // namespace

void *GrowingAlloc(const CHeap &heap, uint32_t size) {
    size_t total;
    if (!WithPrefix(size, &total)) {
        return nullptr;
    }
    auto *prefix = static_cast<Prefix *>(heap.Alloc(total));
    if (prefix == nullptr) {
        return nullptr;
    }
    prefix->Capacity = size;
    prefix->Size = size;
    return BytesOf(prefix);
}

void *GrowingReAlloc(const CHeap &heap, void *block, uint32_t newSize) {
    Prefix *prefix = PrefixOf(block);
    if (newSize > prefix->Capacity) {
        // Doubling keeps the bytes copied by growth within the size of the
        // block however small its steps; an address space too full for the
        // double (at 32 bits) may still hold the exact size. No caller asks
        // for more than a 32-bit size, so no capacity needs more.
        uint32_t ahead;
        if (!SizeCalc(prefix->Capacity, 2, 0, &ahead)) {
            ahead = UINT32_MAX;
        }
        Prefix *moved = ahead > newSize ? Move(heap, prefix, ahead) : nullptr;
        if (moved == nullptr) {
            moved = Move(heap, prefix, newSize);
        }
        if (moved == nullptr) {
            return nullptr;
        }
        prefix = moved;
    }
    if (newSize > prefix->Size) {
        std::memset(BytesOf(prefix) + prefix->Size, 0, newSize - prefix->Size);
    }
    prefix->Size = newSize;
    return BytesOf(prefix);
}

int GrowingFree(const CHeap &heap, void *block) {
    if (block == nullptr) {
        return 1;
    }
    return heap.Free(PrefixOf(block));
}

namespace {

constexpr CHeap SystemHeap = {PlatAlloc, PlatReAlloc, PlatFree};

void *DefaultAlloc(uint32_t size) {
    return GrowingAlloc(SystemHeap, size);
}

void *DefaultReAlloc(void *block, uint32_t newSize) {
    return GrowingReAlloc(SystemHeap, block, newSize);
}

int DefaultFree(void *block) {
    return GrowingFree(SystemHeap, block);
}

constexpr ListHeapMethods DefaultHeap = {DefaultAlloc, DefaultReAlloc, DefaultFree};

ListHeapMethods CurrentHeap = DefaultHeap;

} // namespace

void *MemAlloc(uint32_t size) {
    if (size == 0) {
        return nullptr;
    }
    return CurrentHeap.Alloc(size);
}

int MemFree(void *block) {
    return CurrentHeap.Free(block);
}

void *MemReAlloc(void *block, uint32_t newSize) {
    if (block == nullptr || newSize == 0) {
        return nullptr;
    }
    return CurrentHeap.ReAlloc(block, newSize);
}

} // namespace slot_list::internal

using namespace slot_list::internal;

int ListSetHeap(const ListHeapMethods *methods) {
    if (methods == nullptr) {
        CurrentHeap = DefaultHeap;
        return 1;
    }
    if (methods->Alloc == nullptr || methods->ReAlloc == nullptr || methods->Free == nullptr) {
        return 0;
    }
    CurrentHeap = *methods;
    return 1;
}

void ListGetHeap(ListHeapMethods *methods) {
    if (methods != nullptr) {
        *methods = CurrentHeap;
    }
}
