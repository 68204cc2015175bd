// Resident memory of a process using lists, against the same program on
// other containers: while the containers are alive, and once every one of
// them is destroyed. Each container and workload runs in a fresh process of
// its own (this program again, with arguments), so that no run sees another's
// heap. The twin is the same program on plain arrays grown by doubling
// realloc, the least any container on the C heap can keep. With --check the
// program fails unless, after every list is destroyed, the process holds no
// more than the twin does + 2 MiB.
//
// Workloads, 128-byte elements, lists with GrowBy 64:
//   rounds      three rounds of 12 containers of 40,000 elements each, every
//               container destroyed at the end of each round
//   big-small   ten times over: a container filled to 47 MiB and destroyed,
//               then one of 100 KiB created and kept

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "workload.h"

namespace bench {
namespace {

size_t Resident() {
    unsigned long pages = 0, resident = 0;
    FILE *statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr || std::fscanf(statm, "%lu %lu", &pages, &resident) != 2) {
        std::abort();
    }
    std::fclose(statm);
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

struct ReallocStore {
    char *Data = nullptr;
    size_t Count = 0, Capacity = 0;
    ~ReallocStore() { std::free(Data); }
    void Push(const char *element) {
        if (Count == Capacity) {
            Capacity = Capacity == 0 ? 64 : Capacity * 2;
            Data = static_cast<char *>(std::realloc(Data, Capacity * ElementSize));
            if (Data == nullptr) {
                std::abort();
            }
        }
        std::memcpy(Data + Count++ * ElementSize, element, ElementSize);
    }
};

// Runs a workload on containers of kind C; prints "alive after" in bytes: the
// most resident while containers were alive, and what stays at the end.
template <class C>
void RunWorkload(const std::string &workload) {
    size_t alive = 0;
    std::vector<std::unique_ptr<C>> kept;
    if (workload == "rounds") {
        for (int round = 0; round < 3; round++) {
            std::vector<std::unique_ptr<C>> containers;
            for (int i = 0; i < 12; i++) {
                containers.push_back(std::make_unique<C>());
                Fill(*containers.back(), 40000);
            }
            alive = std::max(alive, Resident());
        }
    } else {
        constexpr uint32_t Big = (47u << 20) / ElementSize, Small = (100u << 10) / ElementSize;
        for (int round = 0; round < 10; round++) {
            auto big = std::make_unique<C>();
            Fill(*big, Big);
            alive = std::max(alive, Resident());
            big.reset();
            kept.push_back(std::make_unique<C>());
            Fill(*kept.back(), Small);
        }
    }
    std::printf("%zu %zu\n", alive, Resident());
}

// The list first and the twin second: --check compares them.
const struct Kind {
    const char *Name;
    void (*Run)(const std::string &workload);
} Kinds[] = {
    {"slot list", RunWorkload<SlotList>},
    {"realloc twin", RunWorkload<ReallocStore>},
    {"std::vector", RunWorkload<VectorStore>},
#ifdef SLOT_LIST_BENCH_GLIB
    {"GArray", RunWorkload<GArrayStore>},
#endif
};

struct Figures {
    size_t Alive = 0, After = 0;
};

Figures Measure(const char *self, const char *workload, size_t kind) {
    std::string command =
        std::string("'") + self + "' --run " + workload + " " + std::to_string(kind);
    FILE *child = popen(command.c_str(), "r");
    Figures figures;
    bool got =
        child != nullptr && std::fscanf(child, "%zu %zu", &figures.Alive, &figures.After) == 2;
    if (child == nullptr || pclose(child) != 0 || !got) {
        std::fprintf(stderr, "residency: the %s run on %s failed\n", workload, Kinds[kind].Name);
        std::exit(2);
    }
    return figures;
}

double MiB(size_t bytes) {
    return static_cast<double>(bytes) / (1 << 20);
}

} // namespace
} // namespace bench

using namespace bench;

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], "--run") == 0) {
        size_t kind = std::strtoul(argv[3], nullptr, 10);
        if (kind >= std::size(Kinds)) {
            return 2;
        }
        Kinds[kind].Run(argv[2]);
        return 0;
    }
    bool check = argc == 2 && std::strcmp(argv[1], "--check") == 0;
    if (argc != 1 && !check) {
        std::fprintf(stderr, "usage: %s [--check]\n", argv[0]);
        return 2;
    }
    int status = 0;
    std::printf("| workload | container | resident while alive (MiB) | after destroying (MiB) |\n"
                "|---|---|---|---|\n");
    for (const char *workload : {"rounds", "big-small"}) {
        Figures figures[std::size(Kinds)];
        for (size_t kind = 0; kind < std::size(Kinds); kind++) {
            figures[kind] = Measure(argv[0], workload, kind);
            std::printf("| %s | %s | %.1f | %.1f |\n", workload, Kinds[kind].Name,
                        MiB(figures[kind].Alive), MiB(figures[kind].After));
        }
        const Figures &list = figures[0], &twin = figures[1];
        if (check && list.After > twin.After + (size_t{2} << 20)) {
            std::fprintf(stderr,
                         "residency: after %s the lists leave %.1f MiB resident, the realloc "
                         "twin %.1f MiB: more than 2 MiB apart\n",
                         workload, MiB(list.After), MiB(twin.After));
            status = 1;
        }
    }
    return status;
}
