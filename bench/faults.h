// Page faults taken while a benchmark's timer runs. On a virtual machine a
// fault can cost more than the work around it, so a figure that differs
// between two containers only by where their memory came from must say so:
// every benchmark reports its faults per iteration beside its time.
#ifndef SLOT_LIST_BENCH_FAULTS_H
#define SLOT_LIST_BENCH_FAULTS_H

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>

namespace bench {

// Minor and major faults of the process so far.
inline int64_t FaultsSoFar() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<int64_t>(usage.ru_minflt) + static_cast<int64_t>(usage.ru_majflt);
}

// Counts faults from its construction, just before the timed loop, to
// Report(), just after it, leaving out what happens between Pause() and
// Resume(), which stand in for the state's PauseTiming and ResumeTiming.
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

    // Sets the "faults" counter, per iteration.
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

} // namespace bench

#endif // SLOT_LIST_BENCH_FAULTS_H
