// The work every container in the benchmarks does alike: the elements, the one
// comparator and the one visitor (both called through function pointers), the
// containers, and the walks over the live elements. slot_list_bench times
// them, slot_list_cost counts their instructions, slot_list_residency reads
// the memory they keep.
#ifndef SLOT_LIST_BENCH_WORKLOAD_H
#define SLOT_LIST_BENCH_WORKLOAD_H

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include <slot_list/slot_list.h>
#include <slot_list/slot_list.hpp>

#ifdef SLOT_LIST_BENCH_GLIB
#include <glib.h>
#include <malloc.h>
#endif
#ifdef SLOT_LIST_BENCH_UTARRAY
#include <utarray.h>
#endif

namespace bench {

template <size_t N>
using Element = std::array<char, N>;

// Element number i: its index in the first eight bytes, a non-zero pattern
// after them, so that no element is all zero and two elements differ early.
template <size_t N>
Element<N> MakeElement(uint64_t i) {
    static_assert(N >= sizeof i, "an element holds its index");
    Element<N> element;
    element.fill(0x5a);
    memcpy(element.data(), &i, sizeof i);
    return element;
}

template <size_t N>
void SetIndex(Element<N> &element, uint64_t i) {
    memcpy(element.data(), &i, sizeof i);
}

// The comparator every container is searched with: whole-element equality.
template <size_t N>
int32_t CompareElements(const void *first, const void *second) {
    return memcmp(first, second, N) == 0 ? 0 : 1;
}

// The visitor every container is traversed with: reads the element's first
// byte and its position into VisitSum, so that no visit can be optimised out.
inline uint64_t VisitSum = 0;
inline void VisitElement(const void *element, uint32_t position, int isEnd) {
    if (!isEnd) {
        VisitSum += static_cast<const unsigned char *>(element)[0] + position;
    }
}

// What the containers hold; only the walks also run with 8-byte elements.
constexpr size_t ElementSize = 128;
using Item = Element<ElementSize>;

// How a list is set up; peers grow their own way.
struct Config {
    uint32_t GrowBy = 64;
    uint32_t HoleLimit = 64;
};

// The containers: Push appends an element, PushMany a run, Bytes() is what
// the container holds. The list goes through its C calls, with CompareElements
// and VisitElement, as the peers are called; a refused call aborts. Where()
// and Held() say where the data lies and the bytes a move would copy: the
// whole block (the C heap may move pages instead, so this is the most copied).
class SlotList {
  public:
    explicit SlotList(const Config &config = {}) {
        if (!ListCreate(&handle_, CompareElements<ElementSize>, VisitElement, config.GrowBy,
                        ElementSize, config.HoleLimit)) {
            abort();
        }
    }
    ~SlotList() { ListDestroy(&handle_); }
    SlotList(const SlotList &) = delete;
    SlotList &operator=(const SlotList &) = delete;

    void Push(const char *element) {
        if (!ListInsert(&handle_, element)) {
            abort();
        }
    }
    void PushMany(const char *elements, uint32_t count) {
        if (!ListInsertMany(&handle_, elements, count)) {
            abort();
        }
    }
    void Traverse() { ListTraverse(&handle_); }
    const void *FindLast(const Item &key) { return ListFind(&handle_, key.data()); }
    bool Erase(const Item &key) { return ListDelete(&handle_, key.data()) == 1; }
    size_t Bytes() const { return handle_->BlockSize; }
    const void *Where() const { return handle_; }
    size_t Held() const { return handle_->BlockSize; }
    ListHandle *Handle() { return &handle_; }

  private:
    ListHandle handle_ = nullptr;
};

// The peers, each made with room for reserve elements: GrowBy's counterpart
// is the container's own growth.
struct VectorStore {
    std::vector<Item> Elements;

    explicit VectorStore(size_t reserve = 0) { Elements.reserve(reserve); }
    void Push(const char *element) { Elements.push_back(*reinterpret_cast<const Item *>(element)); }
    void PushMany(const char *elements, uint32_t count) {
        const auto *first = reinterpret_cast<const Item *>(elements);
        Elements.insert(Elements.end(), first, first + count);
    }
    const char *Data() const { return reinterpret_cast<const char *>(Elements.data()); }
    size_t Size() const { return Elements.size(); }
    void EraseAt(size_t i) { Elements.erase(Elements.begin() + static_cast<ptrdiff_t>(i)); }
    size_t Bytes() const { return Elements.capacity() * ElementSize; }
};

#ifdef SLOT_LIST_BENCH_GLIB
struct GArrayStore {
    GArray *Array;

    explicit GArrayStore(size_t reserve = 0)
        : Array(g_array_sized_new(FALSE, FALSE, ElementSize, static_cast<guint>(reserve))) {}
    ~GArrayStore() { g_array_free(Array, TRUE); }
    GArrayStore(const GArrayStore &) = delete;
    GArrayStore &operator=(const GArrayStore &) = delete;

    void Push(const char *element) { g_array_append_vals(Array, element, 1); }
    void PushMany(const char *elements, uint32_t count) {
        g_array_append_vals(Array, elements, count);
    }
    const char *Data() const { return Array->data; }
    size_t Size() const { return Array->len; }
    void EraseAt(size_t i) { g_array_remove_index(Array, static_cast<guint>(i)); }
    // GArray does not publish its capacity; the heap knows what it holds.
    size_t Bytes() const { return malloc_usable_size(Array->data); }
};
#endif

#ifdef SLOT_LIST_BENCH_UTARRAY
struct UtArrayStore {
    UT_array Array;

    explicit UtArrayStore(size_t reserve = 0) {
        static const UT_icd icd = {ElementSize, nullptr, nullptr, nullptr};
        utarray_init(&Array, &icd);
        utarray_reserve(&Array, reserve);
    }
    ~UtArrayStore() { utarray_done(&Array); }
    UtArrayStore(const UtArrayStore &) = delete;
    UtArrayStore &operator=(const UtArrayStore &) = delete;

    void Push(const char *element) { utarray_push_back(&Array, element); }
    // utarray's bulk calls (utarray_inserta, utarray_concat) take another
    // UT_array, not a plain run of elements: a caller holding a buffer pushes
    // them one by one.
    void PushMany(const char *elements, uint32_t count) {
        for (uint32_t i = 0; i < count; i++) {
            utarray_push_back(&Array, elements + size_t{i} * ElementSize);
        }
    }
    const char *Data() const { return Array.d; }
    size_t Size() const { return utarray_len(&Array); }
    void EraseAt(size_t i) { utarray_erase(&Array, static_cast<unsigned>(i), 1u); }
    size_t Bytes() const { return size_t{Array.n} * ElementSize; }
};
#endif

template <class C>
void Fill(C &container, int64_t n) {
    Item element = MakeElement<ElementSize>(0);
    for (int64_t i = 0; i < n; i++) {
        SetIndex(element, static_cast<uint64_t>(i));
        container.Push(element.data());
    }
}

// Appends elements 0 to n - 1 in runs of run.size() through push(run, count),
// rewriting the run before each call, as a caller filling its buffer would.
template <class Push>
void PushRuns(std::vector<Item> &run, int64_t n, Push push) {
    for (int64_t i = 0; i < n; i += static_cast<int64_t>(run.size())) {
        auto count = static_cast<uint32_t>(std::min<int64_t>(run.size(), n - i));
        for (uint32_t j = 0; j < count; j++) {
            SetIndex(run[j], static_cast<uint64_t>(i + j));
        }
        push(run[0].data(), count);
    }
}

// Appends elements 0 to n - 1 to every container, one to each in turn, so
// that no block can keep growing where it lies; returns the bytes copied.
template <class Containers>
uint64_t AppendInTurns(Containers &containers, int64_t n) {
    uint64_t copied = 0;
    Item element = MakeElement<ElementSize>(0);
    for (int64_t i = 0; i < n; i++) {
        SetIndex(element, static_cast<uint64_t>(i));
        for (auto &container : containers) {
            const void *before = container->Where();
            size_t held = container->Held();
            container->Push(element.data());
            copied += container->Where() != before ? held : 0;
        }
    }
    return copied;
}

// The walks over the live elements, by name: the list's range-for, a loop of
// ListNext, ListTraverse (AddHead the visitor), and the loop over a
// std::vector. Each sums the first eight bytes of every element, as a loop
// reading one field would. The containers hold elements 1 to n, the one at
// position i holding index i (from 1: element 0 of 8 bytes would be all zero);
// with holes, every tenth is deleted after filling, the hole limit n, so that
// nothing is compacted. The vector holds the same live elements.
inline const char *const WalkKinds[] = {"range-for", "next", "traverse", "vector"};

inline uint64_t Head(const void *element) {
    uint64_t head;
    memcpy(&head, element, sizeof head);
    return head;
}

inline uint64_t WalkedSum(uint32_t n, bool holes) {
    uint64_t tens = holes ? n / 10 : 0;
    return uint64_t{n} * (n + 1) / 2 - 10 * tens * (tens + 1) / 2;
}
inline uint32_t WalkedLive(uint32_t n, bool holes) {
    return holes ? n - n / 10 : n;
}

inline uint64_t WalkSum = 0;
inline void AddHead(const void *element, uint32_t, int isEnd) {
    if (!isEnd) {
        WalkSum += Head(element);
    }
}

template <class Elements>
uint64_t SumHeads(const Elements &elements) {
    uint64_t sum = 0;
    for (const auto &element : elements) {
        sum += Head(element.data());
    }
    return sum;
}

// Builds the container the walk named kind goes over and calls use(walk),
// walk() walking it once and returning its sum; false for another name.
template <size_t N, class Use>
bool WithWalk(const std::string &kind, uint32_t n, bool holes, Use use) {
    auto isHole = [holes](uint32_t position) { return holes && position % 10 == 0; };
    if (kind == "range-for") {
        auto list = slot_list::List<Element<N>>::create(64, n).value();
        for (uint32_t i = 1; i <= n; i++) {
            list.insert(MakeElement<N>(i));
        }
        uint32_t position = 1;
        for (auto it = list.begin(); it != list.end(); position++) {
            it = isHole(position) ? list.erase(it) : std::next(it);
        }
        const auto &walked = list;
        use([&walked] { return SumHeads(walked); });
    } else if (kind == "next" || kind == "traverse") {
        ListHandle handle = nullptr;
        if (!ListCreate(&handle, CompareElements<N>, AddHead, 64, N, n)) {
            abort();
        }
        for (uint32_t i = 1; i <= n; i++) {
            Element<N> element = MakeElement<N>(i);
            ListInsert(&handle, &element);
        }
        for (uint32_t i = 10; holes && i <= n; i += 10) {
            uint32_t at = i;
            ListDeleteAt(&handle, &at);
        }
        if (kind == "next") {
            use([&handle] {
                uint64_t sum = 0;
                void *element;
                for (uint32_t p = 1; (element = ListNext(&handle, &p)) != nullptr; p++) {
                    sum += Head(element);
                }
                return sum;
            });
        } else {
            use([&handle] {
                WalkSum = 0;
                ListTraverse(&handle);
                return WalkSum;
            });
        }
        ListDestroy(&handle);
    } else if (kind == "vector") {
        std::vector<Element<N>> vector;
        for (uint32_t i = 1; i <= n; i++) {
            if (!isHole(i)) {
                vector.push_back(MakeElement<N>(i));
            }
        }
        const auto &walked = vector;
        use([&walked] { return SumHeads(walked); });
    } else {
        return false;
    }
    return true;
}

} // namespace bench

#endif // SLOT_LIST_BENCH_WORKLOAD_H
