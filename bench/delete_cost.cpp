// The work of one deletion, for callgrind to count instructions on: the
// element at a chosen place in a list of n 128-byte elements, deleted either
// by position (ListDeleteAt) or by key (ListDelete, which calls the
// comparator on every live element up to it). The hole limit is n, so no
// compaction runs. A spare element after the n is deleted the same way first,
// outside the count, so that the first call's binding of library symbols is
// not counted either.
//
//   slot_list_delete_cost at|key first|middle|last [N]
//
// Each deletion sits in a function of its own, DeleteCostAt and
// DeleteCostKey, which callgrind's --toggle-collect counts inclusively (the
// comparator's calls included), so that the figure is the one call:
//
//   valgrind --tool=callgrind --toggle-collect=DeleteCostAt
//       build/default/bench/slot_list_delete_cost at last 10000

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <slot_list/slot_list.h>

namespace {

constexpr uint32_t ElementSize = 128;

struct Element {
    unsigned char Bytes[ElementSize];
};

Element MakeElement(uint32_t i) {
    Element element;
    std::memset(element.Bytes, 0x5a, sizeof element.Bytes);
    std::memcpy(element.Bytes, &i, sizeof i);
    return element;
}

int32_t Compare(const void *first, const void *second) {
    return std::memcmp(first, second, ElementSize) == 0 ? 0 : 1;
}

void Visit(const void *, uint32_t, int) {}

ListHandle List = nullptr;

} // namespace

// The measured calls stay functions of their own, in each compiler's words:
// cl does not know gnu:: attributes (warning C5030).
#if defined(_MSC_VER) && !defined(__clang__)
#define SLOT_LIST_BENCH_NOINLINE __declspec(noinline)
#else
#define SLOT_LIST_BENCH_NOINLINE [[gnu::noinline]]
#endif

// The measured calls, through a pointer chosen at run time so that neither is
// inlined into main.
extern "C" {

SLOT_LIST_BENCH_NOINLINE int DeleteCostAt(uint32_t position, const Element *) {
    return ListDeleteAt(&List, &position);
}

SLOT_LIST_BENCH_NOINLINE int DeleteCostKey(uint32_t, const Element *key) {
    return ListDelete(&List, key);
}

} // extern "C"

int main(int argc, char **argv) {
    if (argc < 3 || argc > 4 ||
        (std::strcmp(argv[1], "at") != 0 && std::strcmp(argv[1], "key") != 0)) {
        std::fprintf(stderr, "usage: slot_list_delete_cost at|key first|middle|last [N]\n");
        return 2;
    }
    uint32_t n = argc > 3 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 10000;
    uint32_t position = std::strcmp(argv[2], "first") == 0    ? 1
                        : std::strcmp(argv[2], "middle") == 0 ? n / 2
                        : std::strcmp(argv[2], "last") == 0   ? n
                                                              : 0;
    if (n == 0 || n == UINT32_MAX || position == 0 ||
        !ListCreate(&List, Compare, Visit, n + 2, ElementSize, n)) {
        std::fprintf(stderr, "slot_list_delete_cost: bad arguments, or no memory\n");
        return 2;
    }
    for (uint32_t i = 0; i <= n; i++) {
        Element element = MakeElement(i + 1);
        if (!ListInsert(&List, &element)) {
            std::fprintf(stderr, "slot_list_delete_cost: an insert failed\n");
            return 1;
        }
    }
    bool at = argv[1][0] == 'a';
    uint32_t spare = n + 1;
    Element spareKey = MakeElement(spare);
    if (!(at ? ListDeleteAt(&List, &spare) : ListDelete(&List, &spareKey))) {
        std::fprintf(stderr, "slot_list_delete_cost: the spare element stayed\n");
        return 1;
    }
    int (*remove)(uint32_t, const Element *) = at ? DeleteCostAt : DeleteCostKey;
    Element key = MakeElement(position);
    if (!remove(position, &key)) {
        std::fprintf(stderr, "slot_list_delete_cost: the deletion failed\n");
        return 1;
    }
    // The element at position is gone and nothing else is.
    uint32_t seen = 0;
    for (uint32_t p = 1; void *e = ListNext(&List, &p); p++, seen++) {
        if (std::memcmp(e, &key, ElementSize) == 0) {
            std::fprintf(stderr, "slot_list_delete_cost: the element is still there\n");
            return 1;
        }
    }
    if (seen != n - 1 || ListSize(&List) != n - 1) {
        std::fprintf(stderr, "slot_list_delete_cost: %u elements left, not %u\n", seen, n - 1);
        return 1;
    }
    std::printf("%s %s %u\n", argv[1], argv[2], n);
    ListDestroy(&List);
    return 0;
}
