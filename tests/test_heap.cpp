#include "test_heap.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if SLOT_LIST_TEST_INTERNALS
using namespace slot_list::internal;
#endif

namespace testing_support {

namespace {
TestHeap *Current = nullptr;
} // namespace

TestHeap::TestHeap() {
    ListGetHeap(&inner_);
    Current = this;
    const ListHeapMethods methods = {Alloc, ReAlloc, Free};
    ListSetHeap(&methods);
#if SLOT_LIST_TEST_INTERNALS
    // Kept pages would stand in for system calls that the tests count and fail.
    PlatHeapSetCacheLimit(0);
    PlatGetMapCalls(&innerMap_);
    // A call the system does not offer stays absent.
    const PlatMapCalls calls = {Reserve, innerMap_.Commit == nullptr ? nullptr : Commit,
                                innerMap_.Extend == nullptr ? nullptr : Extend, Release};
    PlatSetMapCalls(&calls);
    commits_ = innerMap_.Commit != nullptr;
#endif
}

TestHeap::~TestHeap() {
#if SLOT_LIST_TEST_INTERNALS
    PlatSetMapCalls(nullptr); // the system's own again
#endif
    ListSetHeap(&inner_);
    Current = nullptr;
    // Blocks kept by a failed release are returned here so the process stays
    // clean for the leak checker; the test has looked at Outstanding() already.
    for (const auto &entry : live_) {
        inner_.Free(entry.first);
    }
#if SLOT_LIST_TEST_INTERNALS
    PlatHeapSetCacheLimit(PlatHeapDefaultCacheLimit);
#endif
}

void *TestHeap::Alloc(uint32_t size) {
    TestHeap &heap = *Current;
    if (heap.plan_.Fails()) {
        return nullptr;
    }
    void *block = heap.inner_.Alloc(size);
    if (block != nullptr) {
        heap.live_[block] = size;
#if SLOT_LIST_TEST_INTERNALS
        heap.ExpectCommitted(block, size);
#endif
    }
    return block;
}

void *TestHeap::ReAlloc(void *block, uint32_t newSize) {
    TestHeap &heap = *Current;
    if (heap.plan_.Fails()) {
        return nullptr;
    }
    uint32_t oldSize = heap.live_.at(block);
    void *moved;
    if (heap.move_) {
        moved = heap.inner_.Alloc(newSize);
        if (moved == nullptr) {
            return nullptr;
        }
        std::memcpy(moved, block, std::min(oldSize, newSize));
        // Dirty the old block so that reading it after the move shows.
        std::memset(block, 0xA5, oldSize);
        heap.inner_.Free(block);
    } else {
        moved = heap.inner_.ReAlloc(block, newSize);
        if (moved == nullptr) {
            return nullptr;
        }
    }
    heap.live_.erase(block);
    heap.live_[moved] = newSize;
#if SLOT_LIST_TEST_INTERNALS
    heap.ExpectCommitted(moved, newSize);
#endif
    if (heap.onGrowth_) {
        heap.onGrowth_(moved);
    }
    return moved;
}

int TestHeap::Free(void *block) {
    TestHeap &heap = *Current;
    if (heap.plan_.Fails()) {
        return 0;
    }
    int result = heap.inner_.Free(block);
    if (result && block != nullptr) {
        heap.live_.erase(block);
    }
    return result;
}

#if SLOT_LIST_TEST_INTERNALS
// What the heap may ask of the system: whole pages, and whole reservations or
// parts of them from their start. Anything else ends the process, so that
// tests and the fuzzer alike see it.
namespace {
void ExpectPages(size_t size) {
    if (size % PlatPageSize() != 0) {
        std::fprintf(stderr, "system call for %zu bytes: not whole pages\n", size);
        std::abort();
    }
}
} // namespace

void TestHeap::ExpectReservation(void *address, size_t size, bool whole) const {
    ExpectPages(size);
    auto reservation = mappings_.find(address);
    if (reservation == mappings_.end() ||
        (whole ? size != reservation->second : size > reservation->second)) {
        std::fprintf(stderr, "system call for %zu bytes at %p: not %s reservation\n", size, address,
                     whole ? "a whole" : "within a");
        std::abort();
    }
}

void *TestHeap::Reserve(size_t size) {
    TestHeap &heap = *Current;
    ExpectPages(size);
    void *address = heap.system_.Fails() ? nullptr : heap.innerMap_.Reserve(size);
    if (address != nullptr) {
        heap.mappings_[address] = size;
    }
    return address;
}

int TestHeap::Commit(void *address, size_t size) {
    TestHeap &heap = *Current;
    heap.ExpectReservation(address, size, false);
    if (heap.system_.Fails()) {
        return 0;
    }
    int committed = heap.innerMap_.Commit == nullptr ? 1 : heap.innerMap_.Commit(address, size);
    if (committed) {
        size_t &usable = heap.committed_[address];
        usable = std::max(usable, size);
    }
    return committed;
}

void TestHeap::CommitAsNeeded() {
    const PlatMapCalls calls = {Reserve, Commit, nullptr, Release};
    PlatSetMapCalls(&calls);
    commits_ = true;
}

// Where pages are committed, every byte of a block in pages of its own must lie
// in committed pages (on Windows a touch past them faults).
void TestHeap::ExpectCommitted(const void *block, uint32_t size) const {
    auto at = reinterpret_cast<uintptr_t>(block);
    auto mapping = mappings_.upper_bound(const_cast<void *>(block));
    if (!commits_ || mapping == mappings_.begin()) {
        return;
    }
    --mapping;
    auto start = reinterpret_cast<uintptr_t>(mapping->first);
    if (at >= start + mapping->second) {
        return; // on the C heap
    }
    auto committed = committed_.find(mapping->first);
    size_t usable = committed == committed_.end() ? 0 : committed->second;
    if (at + size > start + usable) {
        std::fprintf(stderr, "%u bytes at %p: only %zu bytes of the pages committed\n", size, block,
                     usable);
        std::abort();
    }
}

void *TestHeap::Extend(void *address, size_t oldSize, size_t newSize) {
    TestHeap &heap = *Current;
    heap.ExpectReservation(address, oldSize, true);
    ExpectPages(newSize);
    void *moved = heap.system_.Fails() ? nullptr : heap.innerMap_.Extend(address, oldSize, newSize);
    if (moved != nullptr) {
        heap.mappings_.erase(address);
        heap.mappings_[moved] = newSize;
    }
    return moved;
}

int TestHeap::Release(void *address, size_t size) {
    TestHeap &heap = *Current;
    heap.ExpectReservation(address, size, true);
    int released = heap.system_.Fails() ? 0 : heap.innerMap_.Release(address, size);
    if (released) {
        heap.mappings_.erase(address);
        heap.committed_.erase(address);
    }
    return released;
}
#endif

} // namespace testing_support
