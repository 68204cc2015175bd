// Bytes the heap copies while lists grow in turn, per element inserted: the
// copied_per_insert figure of slot_list_bench's turns benchmarks, for builds
// that have no Google Benchmark (the Windows ones, run under Wine). Lists of
// 128-byte elements, GrowBy 64, k = 1, 2 and 4 lists of 200,000 elements, in
// a process that has already filled and released large lists. A growth that
// moved the block counts the whole block as copied: the most the C heap
// copied, since it may have moved pages instead.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include <slot_list/slot_list.h>

namespace {

constexpr uint32_t ElementSize = 128;
constexpr uint32_t PerList = 200000;

int32_t Compare(const void *first, const void *second) {
    return std::memcmp(first, second, ElementSize) == 0 ? 0 : 1;
}

void Visit(const void *, uint32_t, int) {}

// Fills k lists, one element to each in turn; returns the bytes copied, or
// -1 when the list refused something.
int64_t GrowInTurns(int k) {
    std::vector<ListHandle> lists(static_cast<size_t>(k), nullptr);
    for (ListHandle &list : lists) {
        if (!ListCreate(&list, Compare, Visit, 64, ElementSize, 64)) {
            return -1;
        }
    }
    unsigned char element[ElementSize];
    std::memset(element, 0x5a, sizeof element);
    int64_t copied = 0;
    for (uint32_t i = 0; i < PerList; i++) {
        std::memcpy(element, &i, sizeof i);
        for (ListHandle &list : lists) {
            const ListBlock *before = list;
            uint32_t size = list->BlockSize;
            if (!ListInsert(&list, element)) {
                return -1;
            }
            copied += list != before ? size : 0;
        }
    }
    for (ListHandle &list : lists) {
        ListDestroy(&list);
    }
    return copied;
}

} // namespace

int main() {
    // Large lists filled and released first, as in a program that has run a
    // while: a C heap then no longer gives large blocks pages of their own.
    if (GrowInTurns(4) < 0) {
        return 1;
    }
    for (int k : {1, 2, 4}) {
        int64_t copied = GrowInTurns(k);
        if (copied < 0) {
            std::printf("turns-%d: the list refused an operation\n", k);
            return 1;
        }
        std::printf("turns-%d %u %u %.3f\n", k, PerList, ElementSize,
                    static_cast<double>(copied) / (static_cast<double>(PerList) * k));
    }
    return 0;
}
