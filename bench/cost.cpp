// The work of one operation, for callgrind to count instructions on, each
// counted call in a function of its own that --toggle-collect counts with its
// callees, called through a pointer chosen at run time so that none is inlined
// or specialised; and the bytes growth copies, for builds without Google
// Benchmark. Each kind checks that the container then holds what it should.
//
//   insert: N (10,000) appends of 128-byte elements into room made beforehand,
//       one per call or runs of 64 through the bulk call (InsertCost<Kind><Mode>)
//   walk: one walk of workload.h over N (100,000) elements (WalkCost)
//   delete: one ListDeleteAt or ListDelete in N (10,000) 128-byte elements, the
//       hole limit N (DeleteCostAt, DeleteCostKey), once a spare element after
//       them went uncounted, so that symbol binding is not counted either
//   turns: slot_list_bench's copied_per_insert of turns-k: k = 1, 2, 4 lists of
//       200,000 128-byte elements, GrowBy 64, growing in turn after large lists
//       were filled and released (the whole block counted at each move)
//
//   valgrind --tool=callgrind --toggle-collect=WalkCost
//       build/default/bench/slot_list_cost walk next 128 none 100000

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
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

// The container of each kind inserted into or deleted from.
template <class C>
std::optional<C> Made;

std::vector<Item> Live(SlotList &list) {
    std::vector<Item> live;
    void *element;
    for (uint32_t p = 1; (element = ListNext(list.Handle(), &p)) != nullptr; p++) {
        live.push_back(*static_cast<const Item *>(element));
    }
    return live;
}

template <class Store>
std::vector<Item> Live(const Store &store) {
    const auto *first = reinterpret_cast<const Item *>(store.Data());
    return {first, first + store.Size()};
}

// Whether live is elements first to last, without gone.
bool Holds(const std::vector<Item> &live, uint32_t first, uint32_t last,
           uint32_t gone = UINT32_MAX) {
    std::vector<Item> expected;
    for (uint32_t i = first; i <= last; i++) {
        if (i != gone) {
            expected.push_back(MakeElement<ElementSize>(i));
        }
    }
    return live == expected;
}

} // namespace

extern "C" {

SLOT_LIST_BENCH_NOINLINE int InsertCostListOne(const char *elements, uint32_t) {
    return ListInsert(Made<SlotList>->Handle(), elements);
}

SLOT_LIST_BENCH_NOINLINE int InsertCostListBatch(const char *elements, uint32_t count) {
    return ListInsertMany(Made<SlotList>->Handle(), elements, count);
}

// A peer's two, named after it.
#define SLOT_LIST_BENCH_PEER_COST(Name, Store)                                                     \
    SLOT_LIST_BENCH_NOINLINE int InsertCost##Name##One(const char *elements, uint32_t) {           \
        Made<Store>->Push(elements);                                                               \
        return 1;                                                                                  \
    }                                                                                              \
    SLOT_LIST_BENCH_NOINLINE int InsertCost##Name##Batch(const char *elements, uint32_t count) {   \
        Made<Store>->PushMany(elements, count);                                                    \
        return 1;                                                                                  \
    }

SLOT_LIST_BENCH_PEER_COST(Vector, VectorStore)
#ifdef SLOT_LIST_BENCH_GLIB
SLOT_LIST_BENCH_PEER_COST(Garray, GArrayStore)
#endif
#ifdef SLOT_LIST_BENCH_UTARRAY
SLOT_LIST_BENCH_PEER_COST(Utarray, UtArrayStore)
#endif

using WalkCall = uint64_t (*)(void *walk);

SLOT_LIST_BENCH_NOINLINE uint64_t WalkCost(WalkCall walk, void *container) {
    return walk(container);
}

SLOT_LIST_BENCH_NOINLINE int DeleteCostAt(uint32_t position, const Item *) {
    return ListDeleteAt(Made<SlotList>->Handle(), &position);
}

SLOT_LIST_BENCH_NOINLINE int DeleteCostKey(uint32_t, const Item *key) {
    return ListDelete(Made<SlotList>->Handle(), key);
}

} // extern "C"

namespace {

using InsertCall = int (*)(const char *elements, uint32_t count);

// Appends elements 0 to n - 1 through insert, step at a time, to a container
// of kind C made with room for all of them.
template <class C>
bool Insert(InsertCall insert, uint32_t step, uint32_t n) {
    if constexpr (std::is_same_v<C, SlotList>) {
        Made<C>.emplace(Config{n + 1, 0});
    } else {
        Made<C>.emplace(n);
    }
    std::vector<Item> run(step, MakeElement<ElementSize>(0));
    bool appended = true;
    PushRuns(run, n, [&](const char *elements, uint32_t count) {
        appended = insert(elements, count) && appended;
    });
    return appended && Holds(Live(*Made<C>), 0, n - 1);
}

const struct {
    const char *Name;
    InsertCall One, Batch;
    bool (*Run)(InsertCall insert, uint32_t step, uint32_t n);
} Inserts[] = {
    {"list", InsertCostListOne, InsertCostListBatch, Insert<SlotList>},
    {"vector", InsertCostVectorOne, InsertCostVectorBatch, Insert<VectorStore>},
#ifdef SLOT_LIST_BENCH_GLIB
    {"garray", InsertCostGarrayOne, InsertCostGarrayBatch, Insert<GArrayStore>},
#endif
#ifdef SLOT_LIST_BENCH_UTARRAY
    {"utarray", InsertCostUtarrayOne, InsertCostUtarrayBatch, Insert<UtArrayStore>},
#endif
};

int Insert(const std::string &name, const std::string &mode, uint32_t n) {
    for (const auto &container : Inserts) {
        if (name == container.Name && (mode == "one" || mode == "batch") && n > 0) {
            bool batch = mode == "batch";
            if (!container.Run(batch ? container.Batch : container.One, batch ? 64 : 1, n)) {
                std::fprintf(stderr, "%s: the elements appended are not all there\n", name.c_str());
                return 1;
            }
            std::printf("insert %s %s %u\n", name.c_str(), mode.c_str(), n);
            return 0;
        }
    }
    std::fprintf(stderr, "slot_list_cost: no %s %s in this build\n", name.c_str(), mode.c_str());
    return 2;
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

int Delete(const std::string &how, const std::string &where, uint32_t n) {
    bool at = how == "at";
    uint32_t position = where == "first" ? 1 : where == "middle" ? n / 2 : where == "last" ? n : 0;
    if ((!at && how != "key") || n == 0 || n == UINT32_MAX || position == 0) {
        std::fprintf(stderr, "slot_list_cost: bad arguments\n");
        return 2;
    }
    SlotList &list = Made<SlotList>.emplace(Config{n + 2, n});
    for (uint32_t i = 1; i <= n + 1; i++) {
        list.Push(MakeElement<ElementSize>(i).data());
    }
    // The spare through the library's own call, uncounted; then the counted one.
    uint32_t spare = n + 1;
    Item spareKey = MakeElement<ElementSize>(spare), key = MakeElement<ElementSize>(position);
    int (*remove)(uint32_t, const Item *) = at ? DeleteCostAt : DeleteCostKey;
    if (!(at ? ListDeleteAt(list.Handle(), &spare) : ListDelete(list.Handle(), &spareKey)) ||
        !remove(position, &key) || !Holds(Live(list), 1, n, position)) {
        std::fprintf(stderr, "slot_list_cost: not exactly the element at %u was deleted\n",
                     position);
        return 1;
    }
    std::printf("delete %s %s %u\n", how.c_str(), where.c_str(), n);
    return 0;
}

// Large lists filled and released first, as in a program that has run a
// while: a C heap then no longer gives large blocks pages of their own.
int Turns() {
    constexpr uint32_t PerList = 200000;
    bool warm = false;
    for (int k : {4, 1, 2, 4}) {
        std::vector<std::unique_ptr<SlotList>> lists;
        for (int i = 0; i < k; i++) {
            lists.push_back(std::make_unique<SlotList>());
        }
        uint64_t copied = AppendInTurns(lists, PerList);
        if (warm) {
            std::printf("turns-%d %u %zu %.3f\n", k, PerList, ElementSize,
                        static_cast<double>(copied) / (double{PerList} * k));
        }
        warm = true;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    // Arguments not given are empty.
    std::vector<std::string> a(argv + 1, argv + argc);
    a.resize(std::max<size_t>(a.size(), 6));
    auto count = [](const std::string &given, uint32_t otherwise) {
        return given.empty() ? otherwise
                             : static_cast<uint32_t>(std::strtoul(given.c_str(), nullptr, 10));
    };
    if (a[0] == "insert" && a[4].empty()) {
        return Insert(a[1], a[2], count(a[3], 10000));
    }
    if (a[0] == "walk" && a[5].empty() && (a[2] == "8" || a[2] == "128") &&
        (a[3] == "none" || a[3] == "holes")) {
        return (a[2] == "8" ? Walk<8> : Walk<128>)(a[1], a[3] == "holes", count(a[4], 100000));
    }
    if (a[0] == "delete" && a[4].empty()) {
        return Delete(a[1], a[2], count(a[3], 10000));
    }
    if (a[0] == "turns" && a[1].empty()) {
        return Turns();
    }
    std::fprintf(stderr, "usage: slot_list_cost insert list|vector|garray|utarray one|batch [N]\n"
                         "       slot_list_cost walk range-for|next|traverse|vector 8|128 "
                         "none|holes [N]\n"
                         "       slot_list_cost delete at|key first|middle|last [N]\n"
                         "       slot_list_cost turns\n");
    return 2;
}
