// The benchmark program: the slot list and its peers on the same work, for
// every element size and list length. Benchmarks are named
// operation/container/element-size/n; each reports the page faults of its
// timed loop per iteration ("faults"), since on a virtual machine where
// memory came from can decide a figure.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "workload.h"

namespace bench {
namespace {

// Minor and major faults of the process so far.
int64_t FaultsSoFar() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<int64_t>(usage.ru_minflt) + static_cast<int64_t>(usage.ru_majflt);
}

// Counts the faults of a timed loop, from its construction to Report(),
// leaving out those between Pause() and Resume(), which stand in for the
// state's PauseTiming and ResumeTiming.
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

// A peer: Store keeps the elements contiguously; the walks are the plain loops
// a user of that container would write, making the same calls the list makes.
template <size_t N, class Store>
class Peer {
  public:
    explicit Peer(const Config &) {
        // Keeps the compiler from calling the callbacks directly or inlining
        // them, which the list cannot do either.
        benchmark::DoNotOptimize(compare_);
        benchmark::DoNotOptimize(visit_);
    }

    void Append(const Element<N> &element) { store_.Push(element.data()); }
    void AppendBatch(const char *elements, uint32_t count) { store_.PushMany(elements, count); }

    // The data and size are read once, as a loop over a container that the
    // callbacks do not change would.
    void Traverse() {
        const char *data = store_.Data();
        size_t size = store_.Size();
        for (size_t i = 0; i < size; i++) {
            visit_(data + i * N, static_cast<uint32_t>(i + 1), 0);
        }
        visit_(nullptr, 0, 1);
    }

    const void *FindLast(const Element<N> &key) {
        const char *data = store_.Data();
        size_t size = store_.Size();
        const void *found = nullptr;
        for (size_t i = 0; i < size; i++) {
            if (compare_(key.data(), data + i * N) == 0) {
                found = data + i * N;
            }
        }
        return found;
    }

    bool Erase(const Element<N> &key) {
        const char *data = store_.Data();
        size_t size = store_.Size();
        for (size_t i = 0; i < size; i++) {
            if (compare_(data + i * N, key.data()) == 0) {
                store_.EraseAt(i);
                return true;
            }
        }
        return false;
    }

    size_t Bytes() const { return store_.Bytes(); }
    const void *Where() const { return store_.Data(); }
    size_t Held() const { return store_.Size() * N; }

  private:
    Store store_;
    ListCompareProc compare_ = CompareElements<N>;
    ListVisitProc visit_ = VisitElement;
};

const int64_t Lengths[] = {1000, 10000, 100000, 1000000};

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

// Appends n elements in runs of 64, each with the container's own bulk call,
// on a warm heap. The run is rewritten before each call, as a caller filling
// its buffer would, at the same cost for every container.
template <class C, size_t N>
void AppendBulk(benchmark::State &state, Config config, int64_t n) {
    std::vector<Element<N>> batch(64, MakeElement<N>(0));
    FaultMeter meter(state);
    for (auto _ : state) {
        std::optional<C> container(std::in_place, config);
        for (int64_t i = 0; i < n; i += 64) {
            auto count = static_cast<uint32_t>(std::min<int64_t>(64, n - i));
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

// The first walk after filling is not timed: it pays for first touches of
// memory (on a virtual machine, pages the C heap has just moved) that a walk
// over a list in use does not.
template <class C, size_t N>
void Traverse(benchmark::State &state, Config config, int64_t n) {
    C container(config);
    Fill<C, N>(container, n);
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
        copied = AppendInTurns<N>(containers, n);
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

// Times walk(), which returns its sum, once an untimed walk has shown that it
// sums exactly the live elements (and paid for first touches, as in
// Traverse); time per live element is 1 / items_per_second.
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
// Deleting everything by find and erase is quadratic for every container, so
// a length is left out once n * n * size passes 2e10, which keeps one run of
// the slowest peer under a few seconds. Front-first with many holes allowed,
// the list's deletion need not grow with n, and only longer lists show
// whether it does: that one and std::vector run up to 10^5 at 128 bytes.
bool DeleteFits(const std::string &label, size_t size, int64_t n, Order order) {
    return double(n) * double(n) * double(size) <= 2e10 ||
           (order == Order::Front && size == 128 && n <= 100000 &&
            (label == "list-h1024" || label == "vector"));
}

// Registers the chosen operations of container C at every length.
template <class C, size_t N>
void RegisterContainer(const std::string &label, Config config, unsigned operations) {
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
        const std::pair<const char *, Order> orders[] = {{"delete-front", Order::Front},
                                                         {"delete-back", Order::Back},
                                                         {"delete-random", Order::Random}};
        for (const auto &[operation, order] : orders) {
            if ((operations & DeleteOps) && DeleteFits(label, N, n, order)) {
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
    RegisterContainer<Peer<N, VectorStore<N>>, N>("vector", Config{}, all);
#ifdef SLOT_LIST_BENCH_GLIB
    RegisterContainer<Peer<N, GArrayStore<N>>, N>("garray", Config{}, all);
#endif
#ifdef SLOT_LIST_BENCH_UTARRAY
    RegisterContainer<Peer<N, UtArrayStore<N>>, N>("utarray", Config{}, all);
#endif
}

// The walks of workload.h (walk-*) over the list and over a std::vector of the
// same live elements; list-holes10 and vector-holes10 with every tenth element
// gone.
template <size_t N>
void RegisterWalks() {
    for (uint32_t n : {1000u, 100000u}) {
        for (bool holes : {false, true}) {
            for (std::string kind : WalkKinds) {
                std::string label = (kind == "vector" ? "vector" : "list");
                Register("walk-" + kind, label + (holes ? "-holes10" : ""), N, n,
                         [=](benchmark::State &state) {
                             WithWalk<N>(kind, n, holes,
                                         [&](auto walk) { TimeWalk(state, n, holes, walk); });
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

} // namespace
} // namespace bench

int main(int argc, char **argv) {
    using namespace bench;
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
    RegisterSize<16>();
    RegisterSize<128>();
    RegisterSize<1024>();
    RegisterWalks<8>();
    RegisterWalks<128>();
    RegisterTurns<SlotList<128>>("list");
    RegisterTurns<Peer<128, VectorStore<128>>>("vector");
    std::string missing;
#ifdef SLOT_LIST_BENCH_GLIB
    RegisterTurns<Peer<128, GArrayStore<128>>>("garray");
#else
    missing += " garray";
#endif
#ifdef SLOT_LIST_BENCH_UTARRAY
    RegisterTurns<Peer<128, UtArrayStore<128>>>("utarray");
#else
    missing += " utarray";
#endif
    // The peers this build was made without (.ci/bench.sh wants none).
    std::fprintf(stderr, "peers left out: %s\n", missing.empty() ? "none" : missing.c_str() + 1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
