// The work of one walk over the live elements, for callgrind to count
// instructions per element on: elements 1 to n of 8 or 128 bytes (from 1:
// element 0 of 8 bytes would be all zero), with every tenth one deleted when
// asked (a hole in its place; the hole limit is n, so nothing is compacted),
// walked once by one of
//
//   range-for  a C++ range-for over slot_list::List<T>
//   next       the loop of ListNext
//   traverse   ListTraverse with a visitor
//   vector     a loop over a std::vector<T> of the same live elements
//
// each summing the first eight bytes of every element, which the driver then
// checks. The walk runs inside WalkCost, which callgrind's --toggle-collect
// counts inclusively, so that the figure is the walk alone:
//
//   slot_list_walk_cost range-for|next|traverse|vector 8|128 none|holes [N]
//   valgrind --tool=callgrind --toggle-collect=WalkCost
//       build/default/bench/slot_list_walk_cost next 128 none 100000

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <vector>

#include <slot_list/slot_list.hpp>

#if defined(_MSC_VER) && !defined(__clang__)
#define SLOT_LIST_BENCH_NOINLINE __declspec(noinline)
#else
#define SLOT_LIST_BENCH_NOINLINE [[gnu::noinline]]
#endif

namespace {

template <size_t N>
struct Element {
    unsigned char Bytes[N];
};

template <size_t N>
Element<N> MakeElement(uint64_t i) {
    Element<N> element;
    std::memset(element.Bytes, 0x5a, N);
    std::memcpy(element.Bytes, &i, sizeof i);
    return element;
}

uint64_t Head(const void *element) {
    uint64_t head;
    std::memcpy(&head, element, sizeof head);
    return head;
}

uint64_t VisitSum = 0;

void AddHead(const void *element, uint32_t, int isEnd) {
    if (!isEnd) {
        VisitSum += Head(element);
    }
}

template <size_t N>
int32_t Differ(const void *first, const void *second) {
    return std::memcmp(first, second, N) == 0 ? 0 : 1;
}

using WalkCall = uint64_t (*)(void *container);

template <size_t N>
uint64_t WalkRangeFor(void *container) {
    uint64_t sum = 0;
    for (const Element<N> &element : *static_cast<const slot_list::List<Element<N>> *>(container)) {
        sum += Head(&element);
    }
    return sum;
}

uint64_t WalkNext(void *container) {
    auto *handle = static_cast<ListHandle *>(container);
    uint64_t sum = 0;
    void *element;
    for (uint32_t p = 1; (element = ListNext(handle, &p)) != nullptr; p++) {
        sum += Head(element);
    }
    return sum;
}

uint64_t WalkTraverse(void *container) {
    VisitSum = 0;
    ListTraverse(static_cast<ListHandle *>(container));
    return VisitSum;
}

template <size_t N>
uint64_t WalkVector(void *container) {
    uint64_t sum = 0;
    for (const Element<N> &element : *static_cast<const std::vector<Element<N>> *>(container)) {
        sum += Head(&element);
    }
    return sum;
}

} // namespace

// Called through a pointer chosen at run time, so that no walk is inlined
// into it or into main.
extern "C" SLOT_LIST_BENCH_NOINLINE uint64_t WalkCost(WalkCall walk, void *container) {
    return walk(container);
}

namespace {

bool IsHole(uint32_t position, bool holes) {
    return holes && position % 10 == 0;
}

template <size_t N>
int Run(const char *kind, bool holes, uint32_t n) {
    uint64_t expected = 0;
    std::vector<Element<N>> vector;
    auto list = slot_list::List<Element<N>>::create(64, n);
    ListHandle handle = nullptr;
    if (!list || !ListCreate(&handle, Differ<N>, AddHead, 64, N, n)) {
        return 1;
    }
    for (uint32_t i = 1; i <= n; i++) {
        Element<N> element = MakeElement<N>(i);
        list->insert(element);
        ListInsert(&handle, &element);
        if (!IsHole(i, holes)) {
            expected += i;
            vector.push_back(element);
        }
    }
    uint32_t position = 1;
    for (auto it = list->begin(); it != list->end(); position++) {
        it = IsHole(position, holes) ? list->erase(it) : std::next(it);
    }
    for (uint32_t i = 10; holes && i <= n; i += 10) {
        uint32_t at = i;
        ListDeleteAt(&handle, &at);
    }
    const struct {
        const char *Name;
        WalkCall Walk;
        void *Container;
    } walks[] = {{"range-for", WalkRangeFor<N>, &*list},
                 {"next", WalkNext, &handle},
                 {"traverse", WalkTraverse, &handle},
                 {"vector", WalkVector<N>, &vector}};
    int result = 2;
    for (const auto &walk : walks) {
        if (std::strcmp(walk.Name, kind) == 0) {
            uint64_t sum = WalkCost(walk.Walk, walk.Container);
            result = sum == expected ? 0 : 1;
            std::printf("%s %u %s %u: sum %llu, expected %llu\n", kind, static_cast<unsigned>(N),
                        holes ? "holes" : "none", n, static_cast<unsigned long long>(sum),
                        static_cast<unsigned long long>(expected));
        }
    }
    if (result == 2) {
        std::fprintf(stderr, "slot_list_walk_cost: no walk %s\n", kind);
    }
    ListDestroy(&handle);
    return result;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 4 || argc > 5 ||
        (std::strcmp(argv[3], "none") != 0 && std::strcmp(argv[3], "holes") != 0)) {
        std::fprintf(stderr, "usage: slot_list_walk_cost range-for|next|traverse|vector 8|128 "
                             "none|holes [N]\n");
        return 2;
    }
    bool holes = std::strcmp(argv[3], "holes") == 0;
    auto n = static_cast<uint32_t>(argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 100000);
    if (std::strcmp(argv[2], "8") == 0) {
        return Run<8>(argv[1], holes, n);
    }
    if (std::strcmp(argv[2], "128") == 0) {
        return Run<128>(argv[1], holes, n);
    }
    std::fprintf(stderr, "slot_list_walk_cost: element size 8 or 128\n");
    return 2;
}
