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

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef SLOT_LIST_BENCH_GLIB
#include <glib.h>
#endif

#include <slot_list/slot_list.h>

namespace {

constexpr uint32_t ElementSize = 128;

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

int32_t Compare(const void *first, const void *second) {
    return std::memcmp(first, second, ElementSize) == 0 ? 0 : 1;
}

void Visit(const void *, uint32_t, int) {}

// One container of some kind: appended to one element at a time.
struct Container {
    virtual ~Container() = default;
    virtual void Append(const unsigned char *element) = 0;
};

struct SlotList : Container {
    ListHandle Handle = nullptr;
    SlotList() {
        if (!ListCreate(&Handle, Compare, Visit, 64, ElementSize, 64)) {
            std::abort();
        }
    }
    ~SlotList() override { ListDestroy(&Handle); }
    void Append(const unsigned char *element) override {
        if (!ListInsert(&Handle, element)) {
            std::abort();
        }
    }
};

struct ReallocArray : Container {
    unsigned char *Data = nullptr;
    size_t Size = 0, Capacity = 0;
    ~ReallocArray() override { std::free(Data); }
    void Append(const unsigned char *element) override {
        if (Size == Capacity) {
            Capacity = Capacity == 0 ? 64 : Capacity * 2;
            Data = static_cast<unsigned char *>(std::realloc(Data, Capacity * ElementSize));
            if (Data == nullptr) {
                std::abort();
            }
        }
        std::memcpy(Data + Size++ * ElementSize, element, ElementSize);
    }
};

struct Vector : Container {
    struct Element {
        unsigned char Bytes[ElementSize];
    };
    std::vector<Element> Elements;
    void Append(const unsigned char *element) override {
        Elements.emplace_back();
        std::memcpy(Elements.back().Bytes, element, ElementSize);
    }
};

#ifdef SLOT_LIST_BENCH_GLIB
struct GArrayContainer : Container {
    GArray *Array = g_array_new(FALSE, FALSE, ElementSize);
    ~GArrayContainer() override { g_array_free(Array, TRUE); }
    void Append(const unsigned char *element) override { g_array_append_vals(Array, element, 1); }
};
#endif

const char *const Kinds[] = {"slot list", "realloc twin", "std::vector",
#ifdef SLOT_LIST_BENCH_GLIB
                             "GArray"
#endif
};

Container *Make(const std::string &kind) {
    if (kind == "slot list") {
        return new SlotList;
    }
    if (kind == "realloc twin") {
        return new ReallocArray;
    }
    if (kind == "std::vector") {
        return new Vector;
    }
#ifdef SLOT_LIST_BENCH_GLIB
    if (kind == "GArray") {
        return new GArrayContainer;
    }
#endif
    std::abort();
}

void Fill(Container &container, uint32_t n) {
    unsigned char element[ElementSize];
    std::memset(element, 0x5a, sizeof element);
    for (uint32_t i = 0; i < n; i++) {
        std::memcpy(element, &i, sizeof i);
        container.Append(element);
    }
}

// Runs a workload on containers of kind; prints "alive after" in bytes: the
// most resident while containers were alive, and what stays at the end.
void RunWorkload(const std::string &workload, const std::string &kind) {
    size_t alive = 0;
    std::vector<Container *> kept;
    if (workload == "rounds") {
        for (int round = 0; round < 3; round++) {
            std::vector<Container *> containers;
            for (int i = 0; i < 12; i++) {
                containers.push_back(Make(kind));
                Fill(*containers.back(), 40000);
            }
            alive = std::max(alive, Resident());
            for (Container *container : containers) {
                delete container;
            }
        }
    } else {
        constexpr uint32_t Big = (47u << 20) / ElementSize, Small = (100u << 10) / ElementSize;
        for (int round = 0; round < 10; round++) {
            Container *big = Make(kind);
            Fill(*big, Big);
            alive = std::max(alive, Resident());
            delete big;
            kept.push_back(Make(kind));
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

// Runs one workload in a fresh process of this program.
Figures Measure(const char *self, const char *workload, const char *kind) {
    int pipes[2];
    if (pipe(pipes) != 0) {
        std::abort();
    }
    pid_t child = fork();
    if (child == 0) {
        dup2(pipes[1], STDOUT_FILENO);
        close(pipes[0]);
        close(pipes[1]);
        execl(self, self, "--run", workload, kind, static_cast<char *>(nullptr));
        _exit(127);
    }
    close(pipes[1]);
    char text[64] = {};
    ssize_t got = read(pipes[0], text, sizeof text - 1);
    close(pipes[0]);
    int status = 0;
    waitpid(child, &status, 0);
    Figures figures;
    if (got <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(text, "%zu %zu", &figures.Alive, &figures.After) != 2) {
        std::fprintf(stderr, "residency: the %s run on %s failed\n", workload, kind);
        std::exit(2);
    }
    return figures;
}

double MiB(size_t bytes) {
    return static_cast<double>(bytes) / (1 << 20);
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], "--run") == 0) {
        RunWorkload(argv[2], argv[3]);
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
        Figures twin = Measure(argv[0], workload, "realloc twin");
        for (const char *kind : Kinds) {
            Figures figures = Measure(argv[0], workload, kind);
            std::printf("| %s | %s | %.1f | %.1f |\n", workload, kind, MiB(figures.Alive),
                        MiB(figures.After));
            if (check && std::strcmp(kind, "slot list") == 0 &&
                figures.After > twin.After + (size_t{2} << 20)) {
                std::fprintf(stderr,
                             "residency: after %s the lists leave %.1f MiB resident, the realloc "
                             "twin %.1f MiB: more than 2 MiB apart\n",
                             workload, MiB(figures.After), MiB(twin.After));
                status = 1;
            }
        }
    }
    return status;
}
