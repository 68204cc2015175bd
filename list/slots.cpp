// The zero scan behind the empty-slot rule.

#include "slots.h"

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
