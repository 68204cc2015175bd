// The benchmark program: the slot list and its peers on the same work, for
// every element size and list length. Benchmarks are named
// operation/container/element-size/n; each reports the page faults of its
// timed loop per iteration ("faults"), since where memory came from can
// decide a figure.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "containers.h"

namespace bench {
namespace {

// Minor and major faults of the process so far.
int64_t FaultsSoFar() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<int64_t>(usage.ru_minflt) + static_cast<int64_t>(usage.ru_majflt);
}

// Counts the page faults of a timed loop, from its construction to Report(),
// leaving out what happens between Pause() and Resume(), which stand in for
// the state's PauseTiming and ResumeTiming. On a virtual machine a fault can
// cost more than the work around it, so every benchmark reports its faults
// per iteration ("faults") beside its time.
class FaultMeter {
  public:
    explicit FaultMeter(benchmark::State &state) : state_(state), start_(FaultsSoFar()) {}
    void Pause() {
        state_.PauseTiming();
        pausedAt_ = FaultsSoFar();
    }
    void Resume() {
        untimed_ += FaultsSoFar() - pausedAt_;
        state_.ResumeTiming();
    }
    void Report() {
        double faults = static_cast<double>(FaultsSoFar() - start_ - untimed_);
        state_.counters["faults"] = benchmark::Counter(faults, benchmark::Counter::kAvgIterations);
    }

  private:
    benchmark::State &state_;
    int64_t start_;
    int64_t pausedAt_ = 0;
    int64_t untimed_ = 0;
};

const int64_t Lengths[] = {1000, 10000, 100000, 1000000};

// Deleting everything by find and erase is quadratic for every container; a
// length is left out once n * n * ElementSize passes this, which keeps one run
// of the slowest peer under a few seconds.
constexpr double DeleteWorkLimit = 2e10;

// Front-first with many holes allowed, the list's deletion need not grow with
// n, and only longer lists show whether it does: that one, and std::vector as
// the reference, run up to this length at 128 bytes (the vector's run then
// takes seconds).
constexpr int64_t LongDeleteLength = 100000;

// Elements per call of the bulk append.
constexpr uint32_t BatchLength = 64;

template <class C, size_t N>
void Fill(C &container, int64_t n) {
    Element<N> element = MakeElement<N>(0);
    for (int64_t i = 0; i < n; i++) {
        SetIndex<N>(element, static_cast<uint64_t>(i));
        container.Append(element);
    }
}

// Appends n elements to an empty container. Warm, each iteration gets the
// pages the last one released; fresh, the C heap gives its kept memory back
// first (malloc_trim), so that every page is touched for the first time, as
// in a program that has not used that much memory before.
template <class C, size_t N>
void Append(benchmark::State &state, Config config, int64_t n, bool fresh) {
    size_t bytes = 0;
    if (fresh) {
        malloc_trim(0);
    }
    FaultMeter meter(state);
    for (auto _ : state) {
        std::optional<C> container(std::in_place, config);
        Fill<C, N>(*container, n);
        bytes = container->Bytes();
        meter.Pause();
        container.reset();
        if (fresh) {
            malloc_trim(0);
        }
        meter.Resume();
    }
    meter.Report();
    state.counters["bytes"] = static_cast<double>(bytes);
}

// Appends n elements in runs of BatchLength, each with the container's own
// bulk call, on a warm heap. The run is rewritten before each call, as a
// caller filling its buffer would, at the same cost for every container.
template <class C, size_t N>
void AppendBulk(benchmark::State &state, Config config, int64_t n) {
    std::vector<Element<N>> batch(BatchLength, MakeElement<N>(0));
    FaultMeter meter(state);
    for (auto _ : state) {
        std::optional<C> container(std::in_place, config);
        for (int64_t i = 0; i < n; i += BatchLength) {
            uint32_t count = static_cast<uint32_t>(std::min<int64_t>(BatchLength, n - i));
            for (uint32_t j = 0; j < count; j++) {
                SetIndex<N>(batch[j], static_cast<uint64_t>(i + j));
            }
            container->AppendBatch(batch[0].data(), count);
        }
        meter.Pause();
        container.reset();
        meter.Resume();
    }
    meter.Report();
}

template <class C, size_t N>
void Traverse(benchmark::State &state, Config config, int64_t n) {
    C container(config);
    Fill<C, N>(container, n);
    // The first walk after filling is not timed: it pays for first touches of
    // memory (on a virtual machine, pages the C heap has just moved) that a
    // walk over a list in use does not.
    container.Traverse();
    FaultMeter meter(state);
    for (auto _ : state) {
        container.Traverse();
    }
    meter.Report();
    benchmark::DoNotOptimize(VisitSum);
}

template <class C, size_t N>
void FindLast(benchmark::State &state, Config config, int64_t n) {
    C container(config);
    Fill<C, N>(container, n);
    const Element<N> key = MakeElement<N>(static_cast<uint64_t>(n - 1));
    container.FindLast(key); // untimed, as in Traverse
    FaultMeter meter(state);
    for (auto _ : state) {
        const void *found = container.FindLast(key);
        benchmark::DoNotOptimize(found);
        if (found == nullptr) {
            state.SkipWithError("the last element was not found");
        }
    }
    meter.Report();
}

// Bytes the containers have copied to grow, so far.
template <class C>
uint64_t CopiedSoFar(const std::vector<std::unique_ptr<C>> &containers) {
    uint64_t copied = 0;
    for (const auto &container : containers) {
        copied += container->Copied();
    }
    return copied;
}

// k containers grow to n elements each, one element to each in turn, so that
// no block can keep growing where it lies. Time is per element appended; with
// fresh, every round starts on pages the process has not touched yet.
template <class C, size_t N>
void GrowInTurns(benchmark::State &state, Config config, int64_t n, int k, bool fresh) {
    uint64_t copied = 0;
    if (fresh) {
        malloc_trim(0);
    }
    FaultMeter meter(state);
    for (auto _ : state) {
        std::vector<std::unique_ptr<C>> containers;
        for (int i = 0; i < k; i++) {
            containers.push_back(std::make_unique<C>(config));
        }
        uint64_t before = CopiedSoFar(containers);
        Element<N> element = MakeElement<N>(0);
        for (int64_t i = 0; i < n; i++) {
            SetIndex<N>(element, static_cast<uint64_t>(i));
            for (auto &container : containers) {
                container->AppendCounted(element);
            }
        }
        copied = CopiedSoFar(containers) - before;
        meter.Pause();
        containers.clear();
        if (fresh) {
            malloc_trim(0);
        }
        meter.Resume();
    }
    meter.Report();
    state.counters["copied_per_insert"] = static_cast<double>(copied) / static_cast<double>(n * k);
}

// The walks over the live elements (walk-*), as workload.h makes and walks
// them: list-holes10 and vector-holes10 with every tenth element gone. Each
// is timed once an untimed walk has shown that it sums exactly the live
// elements (and paid for first touches, as in Traverse); time per live
// element is 1 / items_per_second.
template <class Walk>
void TimeWalk(benchmark::State &state, uint32_t n, bool holes, Walk walk) {
    if (walk() != WalkedSum(n, holes)) {
        state.SkipWithError("the walk missed or repeated an element");
        return;
    }
    FaultMeter meter(state);
    for (auto _ : state) {
        uint64_t sum = walk();
        benchmark::DoNotOptimize(sum);
    }
    meter.Report();
    state.SetItemsProcessed(state.iterations() * WalkedLive(n, holes));
}

template <size_t N>
void WalkRangeFor(benchmark::State &state, uint32_t n, bool holes) {
    const auto list = WalkedList<N>(n, holes);
    TimeWalk(state, n, holes, [&list] { return SumHeads(*list); });
}

template <size_t N>
void WalkNext(benchmark::State &state, uint32_t n, bool holes) {
    ListHandle list = WalkedHandle<N>(n, holes);
    TimeWalk(state, n, holes, [&list] { return SumNext(&list); });
    ListDestroy(&list);
}

template <size_t N>
void WalkTraverse(benchmark::State &state, uint32_t n, bool holes) {
    ListHandle list = WalkedHandle<N>(n, holes);
    TimeWalk(state, n, holes, [&list] { return SumTraverse(&list); });
    ListDestroy(&list);
}

template <size_t N>
void WalkVector(benchmark::State &state, uint32_t n, bool holes) {
    const std::vector<Element<N>> elements = WalkedVector<N>(n, holes);
    TimeWalk(state, n, holes, [&elements] { return SumHeads(elements); });
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
    FaultMeter meter(state);
    for (auto _ : state) {
        meter.Pause();
        std::optional<C> container(std::in_place, config);
        Fill<C, N>(*container, n);
        meter.Resume();
        for (uint64_t k : keys) {
            SetIndex<N>(key, k);
            if (!container->Erase(key)) {
                state.SkipWithError("an element was not found");
                break;
            }
        }
        meter.Pause();
        container.reset();
        meter.Resume();
    }
    meter.Report();
}

enum Operations : unsigned { AppendOp = 1, BulkOp = 2, WalkOps = 4, DeleteOps = 8 };

template <class F>
void Register(const std::string &operation, const std::string &label, size_t size, int64_t n,
              F body) {
    std::string name =
        operation + "/" + label + "/" + std::to_string(size) + "/" + std::to_string(n);
    benchmark::RegisterBenchmark(name.c_str(), body)->Unit(benchmark::kMicrosecond);
}

// Whether deleting all n elements in this order is within a run's time.
bool DeleteFits(const std::string &label, size_t size, int64_t n, Order order) {
    if (double(n) * double(n) * double(size) <= DeleteWorkLimit) {
        return true;
    }
    return order == Order::Front && size == 128 && n <= LongDeleteLength &&
           (label == "list-h1024" || label == "vector");
}

// Registers the chosen operations of container C at every length.
template <class C, size_t N>
void RegisterContainer(const std::string &label, Config config, unsigned operations) {
    config.Compare = CompareElements<N>;
    config.Visit = VisitElement;
    for (int64_t n : Lengths) {
        if (operations & AppendOp) {
            for (bool fresh : {false, true}) {
                Register(fresh ? "append-fresh" : "append", label, N, n,
                         [config, n, fresh](benchmark::State &state) {
                             Append<C, N>(state, config, n, fresh);
                         });
            }
        }
        if (operations & BulkOp) {
            Register("append-bulk", label, N, n,
                     [config, n](benchmark::State &state) { AppendBulk<C, N>(state, config, n); });
        }
        if (operations & WalkOps) {
            Register("traverse", label, N, n,
                     [config, n](benchmark::State &state) { Traverse<C, N>(state, config, n); });
            Register("find", label, N, n,
                     [config, n](benchmark::State &state) { FindLast<C, N>(state, config, n); });
        }
        if (operations & DeleteOps) {
            const std::pair<const char *, Order> orders[] = {{"delete-front", Order::Front},
                                                             {"delete-back", Order::Back},
                                                             {"delete-random", Order::Random}};
            for (const auto &[operation, order] : orders) {
                if (!DeleteFits(label, N, n, order)) {
                    continue;
                }
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
        // The bulk append runs with the default GrowBy only: a batch is one
        // growth whatever GrowBy is.
        unsigned operations = growBy == Config{}.GrowBy ? AppendOp | BulkOp : AppendOp;
        RegisterContainer<SlotList<N>, N>("list-g" + std::to_string(growBy), config, operations);
    }
    RegisterContainer<SlotList<N>, N>("list", Config{}, WalkOps);
    for (uint32_t holeLimit : {1u, 64u, 1024u}) {
        Config config;
        config.HoleLimit = holeLimit;
        RegisterContainer<SlotList<N>, N>("list-h" + std::to_string(holeLimit), config, DeleteOps);
    }
    const unsigned all = AppendOp | BulkOp | WalkOps | DeleteOps;
    RegisterContainer<VectorPeer<N>, N>("vector", Config{}, all);
#ifdef SLOT_LIST_BENCH_GLIB
    RegisterContainer<GArrayPeer<N>, N>("garray", Config{}, all);
#endif
#ifdef SLOT_LIST_BENCH_UTARRAY
    RegisterContainer<UtArrayPeer<N>, N>("utarray", Config{}, all);
#endif
}

template <size_t N>
void RegisterWalks() {
    using WalkBody = void (*)(benchmark::State &, uint32_t, bool);
    struct Walk {
        const char *Operation;
        const char *Label;
        WalkBody Body;
    };
    const Walk walks[] = {{"walk-range-for", "list", WalkRangeFor<N>},
                          {"walk-next", "list", WalkNext<N>},
                          {"walk-traverse", "list", WalkTraverse<N>},
                          {"walk-vector", "vector", WalkVector<N>}};
    for (int64_t n : {Lengths[0], int64_t{100000}}) {
        for (bool holes : {false, true}) {
            for (const Walk &walk : walks) {
                WalkBody body = walk.Body;
                Register(walk.Operation, std::string(walk.Label) + (holes ? "-holes10" : ""), N, n,
                         [body, n, holes](benchmark::State &state) {
                             body(state, static_cast<uint32_t>(n), holes);
                         });
            }
        }
    }
}

// k containers of one kind growing in turn, each k for the list and every
// peer: 128-byte elements, GrowBy 64. The operation is named turns-k
// (turns-k-fresh on fresh pages); n in the name counts the elements of all k
// containers, so that time is per element.
template <class C>
void RegisterTurns(const std::string &label) {
    constexpr size_t N = 128;
    Config config;
    config.Compare = CompareElements<N>;
    config.Visit = VisitElement;
    for (bool fresh : {false, true}) {
        for (int k : {1, 2, 4}) {
            for (int64_t n : {10000, 100000, 200000}) {
                std::string operation = "turns-" + std::to_string(k) + (fresh ? "-fresh" : "");
                Register(operation, label, N, n * k, [=](benchmark::State &state) {
                    GrowInTurns<C, N>(state, config, n, k, fresh);
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
    bench::RegisterWalks<8>();
    bench::RegisterWalks<128>();
    bench::RegisterTurns<bench::SlotList<128>>("list");
    bench::RegisterTurns<bench::VectorPeer<128>>("vector");
#ifdef SLOT_LIST_BENCH_GLIB
    bench::RegisterTurns<bench::GArrayPeer<128>>("garray");
#endif
#ifdef SLOT_LIST_BENCH_UTARRAY
    bench::RegisterTurns<bench::UtArrayPeer<128>>("utarray");
#endif
    std::string missing = bench::PeersLeftOut();
    std::fprintf(stderr, "peers left out: %s\n", missing.c_str());
    benchmark::AddCustomContext("peers_left_out", missing);
    benchmark::AddCustomContext("list_header_bytes", std::to_string(sizeof(ListBlock)));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
