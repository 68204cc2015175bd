// The containers under test behind one interface: the slot list itself and
// each peer, which walks its elements with the same callbacks the list is
// given and deletes by find and erase.
#ifndef SLOT_LIST_BENCH_CONTAINERS_H
#define SLOT_LIST_BENCH_CONTAINERS_H

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "workload.h"

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
using VectorPeer = Peer<N, VectorStore<N>>;
#ifdef SLOT_LIST_BENCH_GLIB
template <size_t N>
using GArrayPeer = Peer<N, GArrayStore<N>>;
#endif
#ifdef SLOT_LIST_BENCH_UTARRAY
template <size_t N>
using UtArrayPeer = Peer<N, UtArrayStore<N>>;
#endif

} // namespace bench

#endif // SLOT_LIST_BENCH_CONTAINERS_H
