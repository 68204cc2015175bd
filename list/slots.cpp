// The size helper and the zero scan behind the empty-slot rule.

#include "slots.h"

namespace slot_list::internal {

int SizeCalc(uint64_t count, uint32_t size, uint32_t extra, uint32_t *result) {
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
