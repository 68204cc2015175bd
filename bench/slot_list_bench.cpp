// The benchmark program: the slot list and its peers on the same work, for
// every list length. Benchmarks are named operation/container/element-size/n;
// each reports the page faults of its timed loop per iteration ("faults"),
// since on a virtual machine where memory came from can decide a figure.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "workload.h"

namespace bench {
namespace {

int64_t FaultsSoFar() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<int64_t>(usage.ru_minflt) + static_cast<int64_t>(usage.ru_majflt);
}

// Counts the faults of a timed loop, from its construction to Report(),
// leaving out those of the steps run through Untimed().
class FaultMeter {
  public:
    explicit FaultMeter(benchmark::State &state) : state_(state) {}
    template <class Step>
    void Untimed(Step step) {
        state_.PauseTiming();
        int64_t before = FaultsSoFar();
        step();
        untimed_ += FaultsSoFar() - before;
        state_.ResumeTiming();
    }
    void Report() {
        double faults = static_cast<double>(FaultsSoFar() - start_ - untimed_);
        state_.counters["faults"] = benchmark::Counter(faults, benchmark::Counter::kAvgIterations);
    }

  private:
    benchmark::State &state_;
    int64_t start_ = FaultsSoFar(), untimed_ = 0;
};

// A peer: Store keeps the elements contiguously; the walks are the plain loops
// a user of that container would write, making the same calls the list makes.
template <class Store>
class Peer : public Store {
  public:
    explicit Peer(const Config &) {
        // Keeps the compiler from calling the callbacks directly or inlining
        // them, which the list cannot do either.
        benchmark::DoNotOptimize(compare_);
        benchmark::DoNotOptimize(visit_);
    }

    // The data and size are read once, as a loop over a container that the
    // callbacks do not change would.
    void Traverse() {
        const char *data = this->Data();
        size_t size = this->Size();
        for (size_t i = 0; i < size; i++) {
            visit_(data + i * ElementSize, static_cast<uint32_t>(i + 1), 0);
        }
        visit_(nullptr, 0, 1);
    }

    const void *FindLast(const Item &key) {
        const char *data = this->Data();
        size_t size = this->Size();
        const void *found = nullptr;
        for (size_t i = 0; i < size; i++) {
            if (compare_(key.data(), data + i * ElementSize) == 0) {
                found = data + i * ElementSize;
            }
        }
        return found;
    }

    bool Erase(const Item &key) {
        const char *data = this->Data();
        size_t size = this->Size();
        for (size_t i = 0; i < size; i++) {
            if (compare_(data + i * ElementSize, key.data()) == 0) {
                this->EraseAt(i);
                return true;
            }
        }
        return false;
    }

    const void *Where() const { return this->Data(); }
    size_t Held() const { return this->Size() * ElementSize; }

  private:
    ListCompareProc compare_ = CompareElements<ElementSize>;
    ListVisitProc visit_ = VisitElement;
};

// Times round(made, meter) at every iteration; round makes the containers into
// made, which are destroyed untimed. Warm, each round gets the pages the last
// one released; fresh, the C heap gives its kept memory back first
// (malloc_trim), so that every page is touched for the first time, as in a
// program that has not used that much memory before.
template <class C, class Round>
void TimeRounds(benchmark::State &state, bool fresh, Round round) {
    std::vector<std::unique_ptr<C>> made;
    auto release = [&made, fresh] {
        made.clear();
        if (fresh) {
            malloc_trim(0);
        }
    };
    release();
    FaultMeter meter(state);
    for (auto _ : state) {
        round(made, meter);
        meter.Untimed(release);
    }
    meter.Report();
}

// Times op() on a container filled beforehand. The caller has called it once
// untimed: that call pays for first touches of memory (on a virtual machine,
// pages the C heap has just moved) that a walk over a list in use does not.
template <class Op>
void TimeRepeated(benchmark::State &state, Op op) {
    FaultMeter meter(state);
    for (auto _ : state) {
        auto result = op();
        benchmark::DoNotOptimize(result);
    }
    meter.Report();
}

// Appends n elements to an empty container: one per call, or in runs of 64
// through its own bulk call.
template <class C>
void Append(benchmark::State &state, Config config, int64_t n, bool fresh, bool bulk) {
    std::vector<Item> run(64, MakeElement<ElementSize>(0));
    size_t bytes = 0;
    TimeRounds<C>(state, fresh, [&](auto &made, FaultMeter &) {
        made.push_back(std::make_unique<C>(config));
        if (bulk) {
            PushRuns(run, n, [&made](const char *elements, uint32_t count) {
                made[0]->PushMany(elements, count);
            });
        } else {
            Fill(*made[0], n);
        }
        bytes = made[0]->Bytes();
    });
    if (!bulk) {
        state.counters["bytes"] = static_cast<double>(bytes);
    }
}

// k containers grow to n elements each, one element to each in turn, so that
// no block can keep growing where it lies. Time is per element appended.
template <class C>
void GrowInTurns(benchmark::State &state, Config config, int64_t n, int k, bool fresh) {
    uint64_t copied = 0;
    TimeRounds<C>(state, fresh, [&](auto &made, FaultMeter &) {
        for (int i = 0; i < k; i++) {
            made.push_back(std::make_unique<C>(config));
        }
        copied = AppendInTurns(made, n);
    });
    state.counters["copied_per_insert"] = static_cast<double>(copied) / static_cast<double>(n * k);
}

enum class Order { Front, Back, Random };
const std::pair<const char *, Order> Orders[] = {
    {"delete-front", Order::Front}, {"delete-back", Order::Back}, {"delete-random", Order::Random}};

// Deletes every element by its key, the container filled untimed.
template <class C>
void DeleteAll(benchmark::State &state, Config config, int64_t n, Order order) {
    std::vector<uint64_t> keys(static_cast<size_t>(n));
    std::iota(keys.begin(), keys.end(), uint64_t{0});
    if (order == Order::Back) {
        std::reverse(keys.begin(), keys.end());
    } else if (order == Order::Random) {
        std::shuffle(keys.begin(), keys.end(), std::mt19937_64(42));
    }
    Item key = MakeElement<ElementSize>(0);
    TimeRounds<C>(state, false, [&](auto &made, FaultMeter &meter) {
        meter.Untimed([&] {
            made.push_back(std::make_unique<C>(config));
            Fill(*made[0], n);
        });
        for (uint64_t k : keys) {
            SetIndex(key, k);
            if (!made[0]->Erase(key)) {
                state.SkipWithError("an element was not found");
                break;
            }
        }
    });
}

template <class C>
void Traverse(benchmark::State &state, Config config, int64_t n) {
    C container(config);
    Fill(container, n);
    container.Traverse();
    TimeRepeated(state, [&container] {
        container.Traverse();
        return VisitSum;
    });
}

template <class C>
void FindLast(benchmark::State &state, Config config, int64_t n) {
    C container(config);
    Fill(container, n);
    const Item key = MakeElement<ElementSize>(static_cast<uint64_t>(n - 1));
    if (container.FindLast(key) == nullptr) {
        state.SkipWithError("the last element was not found");
        return;
    }
    TimeRepeated(state, [&] { return container.FindLast(key); });
}

template <class Body, class... Args>
void Register(const std::string &operation, const std::string &label, size_t size, int64_t n,
              Body body, Args... args) {
    std::string name =
        operation + "/" + label + "/" + std::to_string(size) + "/" + std::to_string(n);
    benchmark::RegisterBenchmark(name.c_str(), body, args...)->Unit(benchmark::kMicrosecond);
}

// Whether deleting all n elements in this order is within a run's time.
// Deleting everything by find and erase is quadratic for every container, so
// a length is left out once n * n * size passes 2e10, which keeps one run of
// the slowest peer under a few seconds. Front-first with many holes allowed,
// the list's deletion need not grow with n, and only longer lists show
// whether it does: that one and std::vector run up to 10^5.
bool DeleteFits(const std::string &label, int64_t n, Order order) {
    return double(n) * double(n) * double(ElementSize) <= 2e10 ||
           (order == Order::Front && n <= 100000 && (label == "list-h1024" || label == "vector"));
}

enum Operations { AppendOps = 1, BulkOp = 2, WalkOps = 4, DeleteOps = 8, TurnsOps = 16 };

// Registers the chosen operations of container C at every length. Growth in
// turns is named turns-k (turns-k-fresh on fresh pages), with n counting the
// elements of all k containers, so that time is per element.
template <class C>
void RegisterContainer(const std::string &label, Config config, unsigned operations) {
    for (int64_t n : {1000, 10000, 100000, 1000000}) {
        if (operations & AppendOps) {
            Register("append", label, ElementSize, n, Append<C>, config, n, false, false);
            Register("append-fresh", label, ElementSize, n, Append<C>, config, n, true, false);
        }
        if (operations & BulkOp) {
            Register("append-bulk", label, ElementSize, n, Append<C>, config, n, false, true);
        }
        if (operations & WalkOps) {
            Register("traverse", label, ElementSize, n, Traverse<C>, config, n);
            Register("find", label, ElementSize, n, FindLast<C>, config, n);
        }
        for (const auto &[operation, order] : Orders) {
            if ((operations & DeleteOps) && DeleteFits(label, n, order)) {
                Register(operation, label, ElementSize, n, DeleteAll<C>, config, n, order);
            }
        }
    }
    if (!(operations & TurnsOps)) {
        return;
    }
    for (bool fresh : {false, true}) {
        for (int k : {1, 2, 4}) {
            for (int64_t n : {10000, 100000, 200000}) {
                std::string operation = "turns-" + std::to_string(k) + (fresh ? "-fresh" : "");
                Register(operation, label, ElementSize, n * k, GrowInTurns<C>, config, n, k, fresh);
            }
        }
    }
}

// The walks of workload.h (walk-*) over the list and over a std::vector of the
// same live elements; list-holes10 and vector-holes10 with every tenth element
// gone. Time per live element is 1 / items_per_second.
template <size_t N>
void Walk(benchmark::State &state, std::string kind, uint32_t n, bool holes) {
    WithWalk<N>(kind, n, holes, [&](auto walk) {
        // An untimed walk shows that it sums exactly the live elements.
        if (walk() != WalkedSum(n, holes)) {
            state.SkipWithError("the walk missed or repeated an element");
            return;
        }
        TimeRepeated(state, walk);
        state.SetItemsProcessed(state.iterations() * WalkedLive(n, holes));
    });
}

template <size_t N>
void RegisterWalks() {
    for (uint32_t n : {1000u, 100000u}) {
        for (bool holes : {false, true}) {
            for (std::string kind : WalkKinds) {
                std::string label = (kind == "vector" ? "vector" : "list");
                Register("walk-" + kind, label + (holes ? "-holes10" : ""), N, n, Walk<N>, kind, n,
                         holes);
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
    for (uint32_t growBy : {2u, 64u, 4096u}) {
        // The bulk append runs with the default GrowBy only: a batch is one
        // growth whatever GrowBy is.
        RegisterContainer<SlotList>("list-g" + std::to_string(growBy), {growBy, 64},
                                    growBy == Config{}.GrowBy ? AppendOps | BulkOp : AppendOps);
    }
    RegisterContainer<SlotList>("list", {}, WalkOps | TurnsOps);
    for (uint32_t holeLimit : {1u, 64u, 1024u}) {
        RegisterContainer<SlotList>("list-h" + std::to_string(holeLimit), {64, holeLimit},
                                    DeleteOps);
    }
    RegisterContainer<Peer<VectorStore>>("vector", {}, ~0u);
    std::string missing;
#ifdef SLOT_LIST_BENCH_GLIB
    RegisterContainer<Peer<GArrayStore>>("garray", {}, ~0u);
#else
    missing += " garray";
#endif
#ifdef SLOT_LIST_BENCH_UTARRAY
    RegisterContainer<Peer<UtArrayStore>>("utarray", {}, ~0u);
#else
    missing += " utarray";
#endif
    RegisterWalks<8>();
    RegisterWalks<128>();
    // The peers this build was made without (.ci/bench.sh wants none).
    std::fprintf(stderr, "peers left out: %s\n", missing.empty() ? "none" : missing.c_str() + 1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
