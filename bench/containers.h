// The containers under test behind one interface: the slot list itself and
// each peer, which walks its elements with the same callbacks the list is
// given and deletes by find and erase.
#ifndef SLOT_LIST_BENCH_CONTAINERS_H
#define SLOT_LIST_BENCH_CONTAINERS_H

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <type_traits>
#include <vector>

#include <slot_list/slot_list.h>
#include "workload.h"

#ifdef SLOT_LIST_BENCH_GLIB
#include <glib.h>
#include <malloc.h>
#endif
#ifdef SLOT_LIST_BENCH_UTARRAY
#include <utarray.h>
#endif

namespace bench {

// How a container is set up; peers take only the callbacks.
struct Config {
    uint32_t GrowBy = 64;
    uint32_t HoleLimit = 64;
    ListCompareProc Compare = nullptr;
    ListVisitProc Visit = nullptr;
};

template <size_t N>
class SlotList {
  public:
    explicit SlotList(const Config &config) {
        if (!ListCreate(&handle_, config.Compare, config.Visit, config.GrowBy, N,
                        config.HoleLimit)) {
            abort();
        }
    }
    ~SlotList() { ListDestroy(&handle_); }
    SlotList(const SlotList &) = delete;
    SlotList &operator=(const SlotList &) = delete;

    void Append(const Element<N> &element) {
        if (!ListInsert(&handle_, element.data())) {
            abort();
        }
    }
    // As Append, counting the bytes a growth moves, as the peers count them:
    // the whole block when it moved (the C heap may have moved pages
    // instead, so this is the most it copied).
    void AppendCounted(const Element<N> &element) {
        const ListBlock *before = handle_;
        uint32_t size = handle_->BlockSize;
        Append(element);
        if (handle_ != before) {
            copied_ += size;
        }
    }
    uint64_t Copied() const { return copied_; }
    // All count elements in one call, as a caller holding a run of them would.
    void AppendBatch(const char *elements, uint32_t count) {
        if (!ListInsertMany(&handle_, elements, count)) {
            abort();
        }
    }
    // Deletes the element at position (from 1) without a search, leaving a
    // hole unless the hole limit is passed.
    void EraseAt(uint32_t position) {
        if (!ListDeleteAt(&handle_, &position)) {
            abort();
        }
    }
    ListHandle *Handle() { return &handle_; }
    void Traverse() { ListTraverse(&handle_); }
    const void *FindLast(const Element<N> &key) { return ListFind(&handle_, key.data()); }
    bool Erase(const Element<N> &key) { return ListDelete(&handle_, key.data()) == 1; }
    size_t Bytes() const { return handle_->BlockSize; }

  private:
    ListHandle handle_ = nullptr;
    uint64_t copied_ = 0; // bytes moved by growth, counted by AppendCounted
};

// A peer: Store keeps the elements contiguously; the walks are the plain loops
// a user of that container would write, making the same calls the list makes.
template <size_t N, class Store>
class Peer {
  public:
    explicit Peer(const Config &config) : compare_(config.Compare), visit_(config.Visit) {
        // Keeps the compiler from calling the callbacks directly or inlining
        // them, which the list cannot do either.
        benchmark::DoNotOptimize(compare_);
        benchmark::DoNotOptimize(visit_);
    }

    void Append(const Element<N> &element) { store_.Push(element.data()); }

    // As Append, counting the bytes a growth moves: those of every element
    // when the data moved. Kept apart so that the plain append pays nothing
    // for the count.
    void AppendCounted(const Element<N> &element) {
        const char *before = store_.Data();
        size_t size = store_.Size();
        store_.Push(element.data());
        if (store_.Data() != before) {
            copied_ += size * N;
        }
    }

    // A run of count elements through the container's own bulk call.
    void AppendBatch(const char *elements, uint32_t count) { store_.PushMany(elements, count); }

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
    uint64_t Copied() const { return copied_; }

  private:
    Store store_;
    uint64_t copied_ = 0; // bytes moved by growth, counted by AppendCounted
    ListCompareProc compare_;
    ListVisitProc visit_;
};

template <size_t N>
struct VectorStore {
    std::vector<Element<N>> Elements;

    void Push(const char *element) {
        Elements.push_back(*reinterpret_cast<const Element<N> *>(element));
    }
    void PushMany(const char *elements, uint32_t count) {
        const auto *first = reinterpret_cast<const Element<N> *>(elements);
        Elements.insert(Elements.end(), first, first + count);
    }
    const char *Data() const { return reinterpret_cast<const char *>(Elements.data()); }
    size_t Size() const { return Elements.size(); }
    void EraseAt(size_t i) { Elements.erase(Elements.begin() + static_cast<ptrdiff_t>(i)); }
    size_t Bytes() const { return Elements.capacity() * N; }
};

template <size_t N>
using VectorPeer = Peer<N, VectorStore<N>>;

#ifdef SLOT_LIST_BENCH_GLIB
template <size_t N>
struct GArrayStore {
    GArray *Array = g_array_new(FALSE, FALSE, N);

    GArrayStore() = default;
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

template <size_t N>
using GArrayPeer = Peer<N, GArrayStore<N>>;
#endif

#ifdef SLOT_LIST_BENCH_UTARRAY
template <size_t N>
struct UtArrayStore {
    UT_array Array;

    UtArrayStore() {
        static const UT_icd icd = {N, nullptr, nullptr, nullptr};
        utarray_init(&Array, &icd);
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
            utarray_push_back(&Array, elements + size_t{i} * N);
        }
    }
    const char *Data() const { return Array.d; }
    size_t Size() const { return utarray_len(&Array); }
    void EraseAt(size_t i) { utarray_erase(&Array, static_cast<unsigned>(i), 1u); }
    size_t Bytes() const { return size_t{Array.n} * N; }
};

template <size_t N>
using UtArrayPeer = Peer<N, UtArrayStore<N>>;
#endif

} // namespace bench

#endif // SLOT_LIST_BENCH_CONTAINERS_H
