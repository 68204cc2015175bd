// The block and its primitives: the replaceable heap, the size helper and the
// empty-slot rule.

#include <cstring>

#include "list_internal.h"
#include "mem.h"
#include "platform/platform.h"

namespace {

const MemHeapMethods PlatformHeap = {PlatHeapAlloc, PlatHeapReAlloc, PlatHeapFree};

MemHeapMethods CurrentHeap = PlatformHeap;

} // namespace

void MemSetHeap(const MemHeapMethods *methods) {
    CurrentHeap = methods == nullptr ? PlatformHeap : *methods;
}

void MemGetHeap(MemHeapMethods *methods) {
    *methods = CurrentHeap;
}

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

int ListSizeCalc(uint64_t count, uint32_t size, uint32_t extra, uint32_t *result) {
    // With count <= 2^32 and size, extra < 2^32 the 64-bit value cannot wrap;
    // a larger count never fits with a non-zero size anyway.
    if (count > UINT32_MAX + uint64_t{1}) {
        return 0;
    }
    uint64_t value = count * size + extra;
    if (value > UINT32_MAX) {
        return 0;
    }
    *result = static_cast<uint32_t>(value);
    return 1;
}

int ListBytesAreZero(const unsigned char *bytes, uint32_t size) {
    // Live elements nearly always show a non-zero byte at once; a long run of
    // zeros, a hole, is read a word at a time once the address is aligned.
    uint32_t i = 0;
    for (; i < size && reinterpret_cast<uintptr_t>(bytes + i) % sizeof(uint64_t) != 0; i++) {
        if (bytes[i] != 0) {
            return 0;
        }
    }
    for (; size - i >= 4 * sizeof(uint64_t); i += 4 * sizeof(uint64_t)) {
        uint64_t words[4];
        memcpy(words, bytes + i, sizeof words);
        if ((words[0] | words[1] | words[2] | words[3]) != 0) {
            return 0;
        }
    }
    for (; i < size; i++) {
        if (bytes[i] != 0) {
            return 0;
        }
    }
    return 1;
}
