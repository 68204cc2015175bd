// The replaceable heap and the primitives the list takes its memory through.

#include "mem.h"

#include <cstring>

#include <slot_list/slot_list.h>

#include "heap.h"
#include "platform/platform.h"

namespace slot_list::internal {
namespace {

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

int MemMoveClear(void *destination, void *source, uint32_t length) {
    memmove(destination, source, length);
    // Clear the part of the source the destination does not cover: all of it
    // when they are apart, below the destination when moving up, above the
    // destination's end when moving down.
    auto *from = static_cast<unsigned char *>(source);
    uintptr_t to = reinterpret_cast<uintptr_t>(destination);
    uintptr_t at = reinterpret_cast<uintptr_t>(source);
    if (to >= at + length || at >= to + length) {
        memset(from, 0, length);
    } else if (to > at) {
        memset(from, 0, to - at);
    } else if (to < at) {
        memset(from + length - (at - to), 0, at - to);
    }
    return 1;
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
