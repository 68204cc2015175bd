// The work of appending on the common path (no growth), for
// bench/performance.py to count instructions on: n appends of 128-byte
// elements to a container that already has room for all of them, either one
// element per call or in runs of 64 through the container's bulk call.
//
//   slot_list_insert_cost CONTAINER MODE [N]
//
// CONTAINER is list, or a peer this build has (vector, garray, utarray); MODE
// is one or batch. Each container's call sits in a function of its own,
// InsertCost<Container><Mode>, which callgrind's --toggle-collect counts
// inclusively, so that the figure is the call and nothing of the loop around
// it. The same file builds against older revisions of the library, which
// may lack ListInsertMany (SLOT_LIST_INSERT_COST_NO_BULK: the list's batch is
// then a loop of ListInsert, what a caller had to write).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <slot_list/slot_list.h>

#ifdef SLOT_LIST_BENCH_GLIB
#include <glib.h>
#endif
#ifdef SLOT_LIST_BENCH_UTARRAY
#include <utarray.h>
#endif

namespace {

constexpr uint32_t ElementSize = 128;
constexpr uint32_t BatchLength = 64;

struct Element {
    unsigned char Bytes[ElementSize];
};

int32_t Compare(const void *first, const void *second) {
    return std::memcmp(first, second, ElementSize) == 0 ? 0 : 1;
}

bool SameAs(const void *element, uint32_t i);

// What a walk of the list found: every element, and those in their place.
uint32_t Visited = 0;
uint32_t InPlace = 0;

void Visit(const void *element, uint32_t position, int isEnd) {
    if (!isEnd) {
        Visited++;
        InPlace += SameAs(element, position - 1);
    }
}

// The containers, one at a time; each is made with room for every element.
ListHandle List = nullptr;
std::vector<Element> Vector;
#ifdef SLOT_LIST_BENCH_GLIB
GArray *Array = nullptr;
#endif
#ifdef SLOT_LIST_BENCH_UTARRAY
UT_array UtArray;
const UT_icd UtArrayIcd = {ElementSize, nullptr, nullptr, nullptr};
#endif

} // namespace

// The measured calls stay functions of their own, in each compiler's words:
// cl does not know gnu:: attributes (warning C5030).
#if defined(_MSC_VER) && !defined(__clang__)
#define SLOT_LIST_BENCH_NOINLINE __declspec(noinline)
#else
#define SLOT_LIST_BENCH_NOINLINE [[gnu::noinline]]
#endif

// The measured calls: elements holds count elements (one for the single
// appends). Called through a pointer chosen at run time, so that none is
// inlined into the loop or specialised for it.
extern "C" {

SLOT_LIST_BENCH_NOINLINE int InsertCostListOne(const Element *elements, uint32_t) {
    return ListInsert(&List, elements);
}

SLOT_LIST_BENCH_NOINLINE int InsertCostListBatch(const Element *elements, uint32_t count) {
#ifdef SLOT_LIST_INSERT_COST_NO_BULK
    for (uint32_t i = 0; i < count; i++) {
        if (!ListInsert(&List, &elements[i])) {
            return 0;
        }
    }
    return 1;
#else
    return ListInsertMany(&List, elements, count);
#endif
}

SLOT_LIST_BENCH_NOINLINE int InsertCostVectorOne(const Element *elements, uint32_t) {
    Vector.push_back(elements[0]);
    return 1;
}

SLOT_LIST_BENCH_NOINLINE int InsertCostVectorBatch(const Element *elements, uint32_t count) {
    Vector.insert(Vector.end(), elements, elements + count);
    return 1;
}

#ifdef SLOT_LIST_BENCH_GLIB
SLOT_LIST_BENCH_NOINLINE int InsertCostGarrayOne(const Element *elements, uint32_t) {
    g_array_append_vals(Array, elements, 1);
    return 1;
}

SLOT_LIST_BENCH_NOINLINE int InsertCostGarrayBatch(const Element *elements, uint32_t count) {
    g_array_append_vals(Array, elements, count);
    return 1;
}
#endif

#ifdef SLOT_LIST_BENCH_UTARRAY
SLOT_LIST_BENCH_NOINLINE int InsertCostUtarrayOne(const Element *elements, uint32_t) {
    utarray_push_back(&UtArray, elements);
    return 1;
}

// utarray has no bulk call from a plain run of elements (its own take another
// UT_array): the batch is the loop a caller writes.
SLOT_LIST_BENCH_NOINLINE int InsertCostUtarrayBatch(const Element *elements, uint32_t count) {
    for (uint32_t i = 0; i < count; i++) {
        utarray_push_back(&UtArray, &elements[i]);
    }
    return 1;
}
#endif

} // extern "C"

namespace {

using InsertCall = int (*)(const Element *elements, uint32_t count);

struct Container {
    const char *Name;
    InsertCall One;
    InsertCall Batch;
    bool (*Make)(uint32_t n);
    // Whether the container holds exactly elements 0 to n - 1, in order.
    bool (*Holds)(uint32_t n);
};

Element MakeElement(uint32_t i) {
    Element element;
    std::memset(element.Bytes, 0x5a, sizeof element.Bytes);
    std::memcpy(element.Bytes, &i, sizeof i);
    return element;
}

bool SameAs(const void *element, uint32_t i) {
    Element expected = MakeElement(i);
    return std::memcmp(element, expected.Bytes, ElementSize) == 0;
}

// Checks every element of a contiguous store.
bool Contiguous(const void *data, size_t size, uint32_t n) {
    if (size != n) {
        return false;
    }
    const auto *elements = static_cast<const Element *>(data);
    for (uint32_t i = 0; i < n; i++) {
        if (!SameAs(&elements[i], i)) {
            return false;
        }
    }
    return true;
}

const Container Containers[] = {
    {"list", InsertCostListOne, InsertCostListBatch,
     [](uint32_t n) { return ListCreate(&List, Compare, Visit, n + 1, ElementSize, 0) != 0; },
     [](uint32_t n) {
         ListTraverse(&List);
         return Visited == n && InPlace == n;
     }},
    {"vector", InsertCostVectorOne, InsertCostVectorBatch,
     [](uint32_t n) {
         Vector.reserve(n);
         return true;
     },
     [](uint32_t n) { return Contiguous(Vector.data(), Vector.size(), n); }},
#ifdef SLOT_LIST_BENCH_GLIB
    {"garray", InsertCostGarrayOne, InsertCostGarrayBatch,
     [](uint32_t n) {
         Array = g_array_sized_new(FALSE, FALSE, ElementSize, n);
         return Array != nullptr;
     },
     [](uint32_t n) { return Contiguous(Array->data, Array->len, n); }},
#endif
#ifdef SLOT_LIST_BENCH_UTARRAY
    {"utarray", InsertCostUtarrayOne, InsertCostUtarrayBatch,
     [](uint32_t n) {
         utarray_init(&UtArray, &UtArrayIcd);
         utarray_reserve(&UtArray, n);
         return true;
     },
     [](uint32_t n) { return Contiguous(UtArray.d, utarray_len(&UtArray), n); }},
#endif
};

int Usage() {
    std::fprintf(stderr, "usage: slot_list_insert_cost CONTAINER one|batch [N]\ncontainers:");
    for (const Container &container : Containers) {
        std::fprintf(stderr, " %s", container.Name);
    }
    std::fprintf(stderr, "\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3 || argc > 4) {
        return Usage();
    }
    const Container *container = nullptr;
    for (const Container &candidate : Containers) {
        if (std::strcmp(candidate.Name, argv[1]) == 0) {
            container = &candidate;
        }
    }
    bool batch = std::strcmp(argv[2], "batch") == 0;
    if (container == nullptr || (!batch && std::strcmp(argv[2], "one") != 0)) {
        return Usage();
    }
    uint32_t n = argc > 3 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 10000;
    if (n == 0 || !container->Make(n)) {
        return Usage();
    }

    InsertCall insert = batch ? container->Batch : container->One;
    uint32_t step = batch ? BatchLength : 1;
    std::vector<Element> run(step);
    for (uint32_t i = 0; i < n; i += step) {
        uint32_t count = n - i < step ? n - i : step;
        for (uint32_t j = 0; j < count; j++) {
            run[j] = MakeElement(i + j);
        }
        if (!insert(run.data(), count)) {
            std::fprintf(stderr, "%s: an append failed at element %u\n", container->Name, i);
            return 1;
        }
    }
    if (!container->Holds(n)) {
        std::fprintf(stderr, "%s: the elements appended are not all there\n", container->Name);
        return 1;
    }
    std::printf("%s %s %u\n", container->Name, batch ? "batch" : "one", n);
    return 0;
}
