// Resident memory of a process using lists, against the same program on
// other containers: while the containers are alive, and once every one of
// them is destroyed. Each container and workload runs in a fresh process of
// its own (this program again, with arguments), so that no run sees another's
// heap. The twin is the same program on plain arrays grown by doubling
// realloc, the least any container on the C heap can keep.
//
//   slot_list_residency            prints the table (Markdown)
//   slot_list_residency --check    also fails (exit 1) unless, after every
//                                  list is destroyed, the process holds no more
//                                  than the twin does + 2 MiB
//
// Workloads, 128-byte elements, lists with GrowBy 64:
//   rounds      three rounds of 12 containers of 40,000 elements each, every
//               container destroyed at the end of each round
//   big-small   ten times over: a container filled to 47 MiB and destroyed,
//               then one of 100 KiB created and kept

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "workload.h"

namespace bench {
namespace {

constexpr uint32_t Size = 128;

// Resident bytes of this process now.
size_t Resident() {
    unsigned long pages = 0, resident = 0;
    FILE *statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr || std::fscanf(statm, "%lu %lu", &pages, &resident) != 2) {
        std::abort();
    }
    std::fclose(statm);
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// One container of some kind: appended to one element at a time.
struct Container {
    virtual ~Container() = default;
    virtual void Append(const Element<Size> &element) = 0;
};

template <class Store>
struct Stored : Container {
    Store Elements;
    void Append(const Element<Size> &element) override { Elements.Push(element.data()); }
};

struct List : Container {
    SlotList<Size> Elements;
    void Append(const Element<Size> &element) override { Elements.Append(element); }
};

struct ReallocStore {
    char *Data = nullptr;
    size_t Count = 0, Capacity = 0;
    ~ReallocStore() { std::free(Data); }
    void Push(const char *element) {
        if (Count == Capacity) {
            Capacity = Capacity == 0 ? 64 : Capacity * 2;
            Data = static_cast<char *>(std::realloc(Data, Capacity * bench::Size));
            if (Data == nullptr) {
                std::abort();
            }
        }
        std::memcpy(Data + Count++ * bench::Size, element, bench::Size);
    }
};

// The list first and the twin second: --check compares them.
const struct Kind {
    const char *Name;
    Container *(*Make)();
} Kinds[] = {
    {"slot list", []() -> Container * { return new List; }},
    {"realloc twin", []() -> Container * { return new Stored<ReallocStore>; }},
    {"std::vector", []() -> Container * { return new Stored<VectorStore<Size>>; }},
#ifdef SLOT_LIST_BENCH_GLIB
    {"GArray", []() -> Container * { return new Stored<GArrayStore<Size>>; }},
#endif
};

void Fill(Container &container, uint32_t n) {
    Element<Size> element = MakeElement<Size>(0);
    for (uint32_t i = 0; i < n; i++) {
        SetIndex<Size>(element, i);
        container.Append(element);
    }
}

// Runs a workload on containers of a kind; prints "alive after" in bytes: the
// most resident while containers were alive, and what stays at the end.
void RunWorkload(const std::string &workload, const Kind &kind) {
    size_t alive = 0;
    std::vector<Container *> kept;
    if (workload == "rounds") {
        for (int round = 0; round < 3; round++) {
            std::vector<Container *> containers;
            for (int i = 0; i < 12; i++) {
                containers.push_back(kind.Make());
                Fill(*containers.back(), 40000);
            }
            alive = std::max(alive, Resident());
            for (Container *container : containers) {
                delete container;
            }
        }
    } else {
        constexpr uint32_t Big = (47u << 20) / Size, Small = (100u << 10) / Size;
        for (int round = 0; round < 10; round++) {
            Container *big = kind.Make();
            Fill(*big, Big);
            alive = std::max(alive, Resident());
            delete big;
            kept.push_back(kind.Make());
            Fill(*kept.back(), Small);
        }
    }
    std::printf("%zu %zu\n", alive, Resident());
    for (Container *container : kept) {
        delete container;
    }
}

struct Figures {
    size_t Alive = 0, After = 0;
};

// Runs one workload on the kind numbered kind in a fresh process of this
// program.
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
        RunWorkload(argv[2], Kinds[kind]);
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
