// The work of one operation, for callgrind to count instructions on, each
// counted call in a function of its own that --toggle-collect counts with its
// callees, called through a pointer chosen at run time so that none is inlined
// or specialised; and the bytes growth copies, for builds without Google
// Benchmark. Each kind checks that the container then holds what it should.
//
//   slot_list_cost insert list|vector|garray|utarray one|batch [N]
//       N (10,000) appends of 128-byte elements into room made beforehand,
//       one per call or runs of 64 through the bulk call:
//       InsertCost<Container><One|Batch>
//   slot_list_cost walk range-for|next|traverse|vector 8|128 none|holes [N]
//       one walk of workload.h over N (100,000) elements: WalkCost
//   slot_list_cost delete at|key first|middle|last [N]
//       one ListDeleteAt or ListDelete in N (10,000) 128-byte elements, the
//       hole limit N: DeleteCostAt, DeleteCostKey. A spare element after the
//       N goes first, uncounted, so that symbol binding is not counted either
//   slot_list_cost turns
//       slot_list_bench's copied_per_insert of turns-k: k = 1, 2, 4 lists of
//       200,000 128-byte elements, GrowBy 64, growing in turn after large
//       lists were filled and released (the whole block counted at each move)
//
//   valgrind --tool=callgrind --toggle-collect=WalkCost
//       build/default/bench/slot_list_cost walk next 128 none 100000

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "workload.h"

using namespace bench;

// In each compiler's words: cl does not know gnu:: attributes (C5030).
#if defined(_MSC_VER) && !defined(__clang__)
#define SLOT_LIST_BENCH_NOINLINE __declspec(noinline)
#else
#define SLOT_LIST_BENCH_NOINLINE [[gnu::noinline]]
#endif

namespace {

constexpr uint32_t Size = 128;
constexpr uint32_t TurnsPerList = 200000;
using Element128 = Element<Size>;

// The list inserted into or deleted from, and the peers, one at a time.
ListHandle List = nullptr;
std::optional<VectorStore> Vector;
#ifdef SLOT_LIST_BENCH_GLIB
std::optional<GArrayStore> Array;
#endif
#ifdef SLOT_LIST_BENCH_UTARRAY
std::optional<UtArrayStore> UtArray;
#endif

bool MakeList(ListHandle *list, uint32_t growBy, uint32_t holeLimit) {
    return ListCreate(list, CompareElements<Size>, VisitElement, growBy, Size, holeLimit) != 0;
}

// Whether data holds size elements: first to last in order, without gone.
bool Holds(const char *data, size_t size, uint32_t first, uint32_t last,
           uint32_t gone = UINT32_MAX) {
    for (uint32_t i = first; i <= last; i++) {
        if (i == gone) {
            continue;
        }
        if (size-- == 0 || std::memcmp(data, MakeElement<Size>(i).data(), Size) != 0) {
            return false;
        }
        data += Size;
    }
    return size == 0;
}

// The live elements of List, in order.
std::vector<Element128> Live() {
    std::vector<Element128> live;
    void *element;
    for (uint32_t p = 1; (element = ListNext(&List, &p)) != nullptr; p++) {
        live.push_back(*static_cast<const Element128 *>(element));
    }
    return live;
}

} // namespace

extern "C" {

SLOT_LIST_BENCH_NOINLINE int InsertCostListOne(const char *elements, uint32_t) {
    return ListInsert(&List, elements);
}

SLOT_LIST_BENCH_NOINLINE int InsertCostListBatch(const char *elements, uint32_t count) {
    return ListInsertMany(&List, elements, count);
}

SLOT_LIST_BENCH_NOINLINE int InsertCostVectorOne(const char *elements, uint32_t) {
    Vector->Push(elements);
    return 1;
}

SLOT_LIST_BENCH_NOINLINE int InsertCostVectorBatch(const char *elements, uint32_t count) {
    Vector->PushMany(elements, count);
    return 1;
}

#ifdef SLOT_LIST_BENCH_GLIB
SLOT_LIST_BENCH_NOINLINE int InsertCostGarrayOne(const char *elements, uint32_t) {
    Array->Push(elements);
    return 1;
}

SLOT_LIST_BENCH_NOINLINE int InsertCostGarrayBatch(const char *elements, uint32_t count) {
    Array->PushMany(elements, count);
    return 1;
}
#endif

#ifdef SLOT_LIST_BENCH_UTARRAY
SLOT_LIST_BENCH_NOINLINE int InsertCostUtarrayOne(const char *elements, uint32_t) {
    UtArray->Push(elements);
    return 1;
}

SLOT_LIST_BENCH_NOINLINE int InsertCostUtarrayBatch(const char *elements, uint32_t count) {
    UtArray->PushMany(elements, count);
    return 1;
}
#endif

using WalkCall = uint64_t (*)(void *walk);

SLOT_LIST_BENCH_NOINLINE uint64_t WalkCost(WalkCall walk, void *container) {
    return walk(container);
}

SLOT_LIST_BENCH_NOINLINE int DeleteCostAt(uint32_t position, const Element128 *) {
    return ListDeleteAt(&List, &position);
}

SLOT_LIST_BENCH_NOINLINE int DeleteCostKey(uint32_t, const Element128 *key) {
    return ListDelete(&List, key);
}

} // extern "C"

namespace {

using InsertCall = int (*)(const char *elements, uint32_t count);

// A peer's store, made with room for n elements, and whether it holds
// elements 0 to n - 1.
template <class Store, std::optional<Store> &store>
bool MakeStore(uint32_t n) {
    store.emplace(n);
    return true;
}

template <class Store, std::optional<Store> &store>
bool StoreHolds(uint32_t n) {
    return Holds(store->Data(), store->Size(), 0, n - 1);
}

struct Container {
    const char *Name;
    InsertCall One;
    InsertCall Batch;
    bool (*Make)(uint32_t n);
    bool (*Holds)(uint32_t n);
};

const Container Containers[] = {
    {"list", InsertCostListOne, InsertCostListBatch,
     [](uint32_t n) { return MakeList(&List, n + 1, 0); },
     [](uint32_t n) {
         std::vector<Element128> live = Live();
         return Holds(reinterpret_cast<const char *>(live.data()), live.size(), 0, n - 1);
     }},
    {"vector", InsertCostVectorOne, InsertCostVectorBatch, MakeStore<VectorStore, Vector>,
     StoreHolds<VectorStore, Vector>},
#ifdef SLOT_LIST_BENCH_GLIB
    {"garray", InsertCostGarrayOne, InsertCostGarrayBatch, MakeStore<GArrayStore, Array>,
     StoreHolds<GArrayStore, Array>},
#endif
#ifdef SLOT_LIST_BENCH_UTARRAY
    {"utarray", InsertCostUtarrayOne, InsertCostUtarrayBatch, MakeStore<UtArrayStore, UtArray>,
     StoreHolds<UtArrayStore, UtArray>},
#endif
};

int Insert(const char *name, const char *mode, uint32_t n) {
    const Container *container = nullptr;
    for (const Container &candidate : Containers) {
        if (std::strcmp(candidate.Name, name) == 0) {
            container = &candidate;
        }
    }
    bool batch = std::strcmp(mode, "batch") == 0;
    if (container == nullptr || (!batch && std::strcmp(mode, "one") != 0) || n == 0 ||
        !container->Make(n)) {
        std::fprintf(stderr, "slot_list_cost: no %s %s in this build, or no memory\n", name, mode);
        return 2;
    }
    InsertCall insert = batch ? container->Batch : container->One;
    uint32_t step = batch ? 64 : 1;
    std::vector<Element128> run(step);
    for (uint32_t i = 0; i < n; i += step) {
        uint32_t count = n - i < step ? n - i : step;
        for (uint32_t j = 0; j < count; j++) {
            run[j] = MakeElement<Size>(i + j);
        }
        if (!insert(run[0].data(), count)) {
            std::fprintf(stderr, "%s: an append failed at element %u\n", name, i);
            return 1;
        }
    }
    if (!container->Holds(n)) {
        std::fprintf(stderr, "%s: the elements appended are not all there\n", name);
        return 1;
    }
    std::printf("insert %s %s %u\n", name, mode, n);
    return 0;
}

template <size_t N>
int Walk(const std::string &kind, bool holes, uint32_t n) {
    uint64_t sum = 0;
    if (!WithWalk<N>(kind, n, holes, [&sum](auto walk) {
            using Walker = decltype(walk);
            sum = WalkCost([](void *w) { return (*static_cast<Walker *>(w))(); }, &walk);
        })) {
        std::fprintf(stderr, "slot_list_cost: no walk %s\n", kind.c_str());
        return 2;
    }
    std::printf("walk %s %u %s %u: sum %llu, expected %llu\n", kind.c_str(),
                static_cast<unsigned>(N), holes ? "holes" : "none", n,
                static_cast<unsigned long long>(sum),
                static_cast<unsigned long long>(WalkedSum(n, holes)));
    return sum == WalkedSum(n, holes) ? 0 : 1;
}

int Delete(const char *how, const char *where, uint32_t n) {
    bool at = std::strcmp(how, "at") == 0;
    uint32_t position = std::strcmp(where, "first") == 0    ? 1
                        : std::strcmp(where, "middle") == 0 ? n / 2
                        : std::strcmp(where, "last") == 0   ? n
                                                            : 0;
    if ((!at && std::strcmp(how, "key") != 0) || n == 0 || n == UINT32_MAX || position == 0 ||
        !MakeList(&List, n + 2, n)) {
        std::fprintf(stderr, "slot_list_cost: bad arguments, or no memory\n");
        return 2;
    }
    bool filled = true;
    for (uint32_t i = 1; i <= n + 1; i++) {
        Element128 element = MakeElement<Size>(i);
        filled = filled && ListInsert(&List, &element);
    }
    // The spare through the library's own call, uncounted; then the counted one.
    uint32_t spare = n + 1;
    Element128 spareKey = MakeElement<Size>(spare), key = MakeElement<Size>(position);
    int (*remove)(uint32_t, const Element128 *) = at ? DeleteCostAt : DeleteCostKey;
    std::vector<Element128> live;
    if (!filled || !(at ? ListDeleteAt(&List, &spare) : ListDelete(&List, &spareKey)) ||
        !remove(position, &key) || ListSize(&List) != n - 1 ||
        (live = Live(),
         !Holds(reinterpret_cast<const char *>(live.data()), live.size(), 1, n, position))) {
        std::fprintf(stderr, "slot_list_cost: not exactly the element at %u was deleted\n",
                     position);
        return 1;
    }
    std::printf("delete %s %s %u\n", how, where, n);
    ListDestroy(&List);
    return 0;
}

// Large lists filled and released first, as in a program that has run a
// while: a C heap then no longer gives large blocks pages of their own.
int Turns() {
    bool warm = false;
    for (int k : {4, 1, 2, 4}) {
        std::vector<std::unique_ptr<SlotList>> lists;
        for (int i = 0; i < k; i++) {
            lists.push_back(std::make_unique<SlotList>());
        }
        uint64_t copied = AppendInTurns(lists, TurnsPerList);
        if (warm) {
            std::printf("turns-%d %u %u %.3f\n", k, TurnsPerList, Size,
                        static_cast<double>(copied) / (double{TurnsPerList} * k));
        }
        warm = true;
    }
    return 0;
}

uint32_t Count(int argc, char **argv, int at, uint32_t otherwise) {
    return argc > at ? static_cast<uint32_t>(std::strtoul(argv[at], nullptr, 10)) : otherwise;
}

} // namespace

int main(int argc, char **argv) {
    const char *kind = argc > 1 ? argv[1] : "";
    if (std::strcmp(kind, "insert") == 0 && (argc == 4 || argc == 5)) {
        return Insert(argv[2], argv[3], Count(argc, argv, 4, 10000));
    }
    if (std::strcmp(kind, "walk") == 0 && (argc == 5 || argc == 6) &&
        (std::strcmp(argv[4], "none") == 0 || std::strcmp(argv[4], "holes") == 0)) {
        bool holes = std::strcmp(argv[4], "holes") == 0;
        uint32_t n = Count(argc, argv, 5, 100000);
        if (std::strcmp(argv[3], "8") == 0) {
            return Walk<8>(argv[2], holes, n);
        }
        if (std::strcmp(argv[3], "128") == 0) {
            return Walk<128>(argv[2], holes, n);
        }
    }
    if (std::strcmp(kind, "delete") == 0 && (argc == 4 || argc == 5)) {
        return Delete(argv[2], argv[3], Count(argc, argv, 4, 10000));
    }
    if (std::strcmp(kind, "turns") == 0 && argc == 2) {
        return Turns();
    }
    std::fprintf(stderr, "usage: slot_list_cost insert list|vector|garray|utarray one|batch [N]\n"
                         "       slot_list_cost walk range-for|next|traverse|vector 8|128 "
                         "none|holes [N]\n"
                         "       slot_list_cost delete at|key first|middle|last [N]\n"
                         "       slot_list_cost turns\n");
    return 2;
}
