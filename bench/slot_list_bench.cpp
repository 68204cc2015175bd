// The benchmark program: the slot list and its peers on the same work, for
// every element size and list length. Benchmarks are named
// operation/container/element-size/n.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "containers.h"
#include <slot_list/slot_list.h>
#include "platform/platform.h"
#include "workload.h"

namespace bench {
namespace {

const int64_t Lengths[] = {1000, 10000, 100000, 1000000};

// Deleting everything by find and erase is quadratic for every container; a
// length is left out once n * n * ElementSize passes this, which keeps one run
// of the slowest peer under a few seconds.
constexpr double DeleteWorkLimit = 2e10;

template <class C, size_t N>
void Fill(C &container, int64_t n) {
    Element<N> element = MakeElement<N>(0);
    for (int64_t i = 0; i < n; i++) {
        SetIndex<N>(element, static_cast<uint64_t>(i));
        container.Append(element);
    }
}

template <class C, size_t N>
void Append(benchmark::State &state, Config config, int64_t n) {
    size_t bytes = 0;
    for (auto _ : state) {
        std::optional<C> container(std::in_place, config);
        Fill<C, N>(*container, n);
        bytes = container->Bytes();
        state.PauseTiming();
        container.reset();
        state.ResumeTiming();
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

template <class C, size_t N>
void Traverse(benchmark::State &state, Config config, int64_t n) {
    C container(config);
    Fill<C, N>(container, n);
    // The first walk after filling is not timed: it pays for first touches of
    // memory (on a virtual machine, pages the C heap has just moved) that a
    // walk over a list in use does not.
    container.Traverse();
    for (auto _ : state) {
        container.Traverse();
    }
    benchmark::DoNotOptimize(VisitSum);
}

template <class C, size_t N>
void FindLast(benchmark::State &state, Config config, int64_t n) {
    C container(config);
    Fill<C, N>(container, n);
    const Element<N> key = MakeElement<N>(static_cast<uint64_t>(n - 1));
    container.FindLast(key); // untimed, as in Traverse
    for (auto _ : state) {
        const void *found = container.FindLast(key);
        benchmark::DoNotOptimize(found);
        if (found == nullptr) {
            state.SkipWithError("the last element was not found");
        }
    }
}

// Bytes the containers have copied to grow, so far.
template <size_t N>
uint64_t CopiedSoFar(const std::vector<std::unique_ptr<SlotList<N>>> &) {
    return slot_list::internal::PlatHeapBytesCopied();
}
template <size_t N>
uint64_t CopiedSoFar(const std::vector<std::unique_ptr<VectorPeer<N>>> &containers) {
    uint64_t copied = 0;
    for (const auto &container : containers) {
        copied += container->Copied();
    }
    return copied;
}

// Gives back the memory that released containers left with their heaps, so
// that the next ones start on fresh pages.
void ReleaseKeptMemory() {
    slot_list::internal::PlatHeapSetCacheLimit(0);
    slot_list::internal::PlatHeapSetCacheLimit(slot_list::internal::PlatHeapDefaultCacheLimit);
    malloc_trim(0);
}

// k containers grow to n elements each, one element to each in turn, so that
// no block can keep growing where it lies. Time is per element appended; with
// fresh, every round starts on pages the process has not touched yet.
template <class C, size_t N>
void GrowInTurns(benchmark::State &state, Config config, int64_t n, int k, bool fresh) {
    uint64_t copied = 0;
    for (auto _ : state) {
        std::vector<std::unique_ptr<C>> containers;
        for (int i = 0; i < k; i++) {
            containers.push_back(std::make_unique<C>(config));
        }
        uint64_t before = CopiedSoFar<N>(containers);
        Element<N> element = MakeElement<N>(0);
        for (int64_t i = 0; i < n; i++) {
            SetIndex<N>(element, static_cast<uint64_t>(i));
            for (auto &container : containers) {
                container->Append(element);
            }
        }
        copied = CopiedSoFar<N>(containers) - before;
        state.PauseTiming();
        containers.clear();
        if (fresh) {
            ReleaseKeptMemory();
        }
        state.ResumeTiming();
    }
    state.counters["copied_per_insert"] = static_cast<double>(copied) / static_cast<double>(n * k);
}

enum class Order { Front, Back, Random };

template <class C, size_t N>
void DeleteAll(benchmark::State &state, Config config, int64_t n, Order order) {
    std::vector<uint64_t> keys(static_cast<size_t>(n));
    std::iota(keys.begin(), keys.end(), uint64_t{0});
    if (order == Order::Back) {
        std::reverse(keys.begin(), keys.end());
    } else if (order == Order::Random) {
        std::shuffle(keys.begin(), keys.end(), std::mt19937_64(42));
    }
    Element<N> key = MakeElement<N>(0);
    for (auto _ : state) {
        state.PauseTiming();
        std::optional<C> container(std::in_place, config);
        Fill<C, N>(*container, n);
        state.ResumeTiming();
        for (uint64_t k : keys) {
            SetIndex<N>(key, k);
            if (!container->Erase(key)) {
                state.SkipWithError("an element was not found");
                break;
            }
        }
        state.PauseTiming();
        container.reset();
        state.ResumeTiming();
    }
}

enum Operations : unsigned { AppendOp = 1, WalkOps = 2, DeleteOps = 4 };

template <class F>
void Register(const std::string &operation, const std::string &label, size_t size, int64_t n,
              F body) {
    std::string name =
        operation + "/" + label + "/" + std::to_string(size) + "/" + std::to_string(n);
    benchmark::RegisterBenchmark(name.c_str(), body)->Unit(benchmark::kMicrosecond);
}

// Registers the chosen operations of container C at every length.
template <class C, size_t N>
void RegisterContainer(const std::string &label, Config config, unsigned operations) {
    config.Compare = CompareElements<N>;
    config.Visit = VisitElement;
    for (int64_t n : Lengths) {
        auto bind = [config, n](auto body) {
            return [config, n, body](benchmark::State &state) { body(state, config, n); };
        };
        if (operations & AppendOp) {
            Register("append", label, N, n, bind(Append<C, N>));
        }
        if (operations & WalkOps) {
            Register("traverse", label, N, n, bind(Traverse<C, N>));
            Register("find", label, N, n, bind(FindLast<C, N>));
        }
        if ((operations & DeleteOps) && double(n) * double(n) * N <= DeleteWorkLimit) {
            const std::pair<const char *, Order> orders[] = {{"delete-front", Order::Front},
                                                             {"delete-back", Order::Back},
                                                             {"delete-random", Order::Random}};
            for (const auto &[operation, order] : orders) {
                Register(operation, label, N, n,
                         [config, n, order = order](benchmark::State &state) {
                             DeleteAll<C, N>(state, config, n, order);
                         });
            }
        }
    }
}

template <size_t N>
void RegisterSize() {
    for (uint32_t growBy : {2u, 64u, 4096u}) {
        Config config;
        config.GrowBy = growBy;
        RegisterContainer<SlotList<N>, N>("list-g" + std::to_string(growBy), config, AppendOp);
    }
    RegisterContainer<SlotList<N>, N>("list", Config{}, WalkOps);
    for (uint32_t holeLimit : {1u, 64u, 1024u}) {
        Config config;
        config.HoleLimit = holeLimit;
        RegisterContainer<SlotList<N>, N>("list-h" + std::to_string(holeLimit), config, DeleteOps);
    }
    const unsigned all = AppendOp | WalkOps | DeleteOps;
    RegisterContainer<VectorPeer<N>, N>("vector", Config{}, all);
#ifdef SLOT_LIST_BENCH_GLIB
    RegisterContainer<GArrayPeer<N>, N>("garray", Config{}, all);
#endif
#ifdef SLOT_LIST_BENCH_UTARRAY
    RegisterContainer<UtArrayPeer<N>, N>("utarray", Config{}, all);
#endif
}

// Lists and std::vector growing in turn: 128-byte elements, GrowBy 64. The
// operation is named turns-k (turns-k-fresh on fresh pages); n in the name
// counts the elements of all k containers, so that time is per element.
void RegisterTurns() {
    constexpr size_t N = 128;
    Config config;
    config.Compare = CompareElements<N>;
    config.Visit = VisitElement;
    for (bool fresh : {false, true}) {
        for (int k : {1, 2, 4}) {
            for (int64_t n : {10000, 100000, 200000}) {
                std::string operation = "turns-" + std::to_string(k) + (fresh ? "-fresh" : "");
                Register(operation, "list", N, n * k, [=](benchmark::State &state) {
                    GrowInTurns<SlotList<N>, N>(state, config, n, k, fresh);
                });
                Register(operation, "vector", N, n * k, [=](benchmark::State &state) {
                    GrowInTurns<VectorPeer<N>, N>(state, config, n, k, fresh);
                });
            }
        }
    }
}

// The peers this build was made without, for the log and the JSON context.
std::string PeersLeftOut() {
    std::string missing;
#ifndef SLOT_LIST_BENCH_GLIB
    missing += " garray";
#endif
#ifndef SLOT_LIST_BENCH_UTARRAY
    missing += " utarray";
#endif
    return missing.empty() ? "none" : missing.substr(1);
}

} // namespace
} // namespace bench

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    // glibc raises its mmap and trim thresholds once a process has released a
    // large block, and which benchmark ran first would then decide where every
    // container's memory comes from. Pinned at the values they take after
    // such a release (on 64 bits), every container meets the heap of a
    // long-running program.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    bench::RegisterSize<16>();
    bench::RegisterSize<128>();
    bench::RegisterSize<1024>();
    bench::RegisterTurns();
    std::string missing = bench::PeersLeftOut();
    std::fprintf(stderr, "peers left out: %s\n", missing.c_str());
    benchmark::AddCustomContext("peers_left_out", missing);
    benchmark::AddCustomContext("list_header_bytes", std::to_string(sizeof(ListBlock)));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
