#include "test_heap.h"

#include <algorithm>
#include <cstring>

#include "list.h"

using namespace slot_list::internal;

namespace testing_support {

namespace {
TestHeap *Current = nullptr;
} // namespace

TestHeap::TestHeap() {
    ListGetHeap(&previous_);
    Current = this;
    // The library's own heap, on the C heap through this heap's failing layer:
    // with nothing failing, the heap every list has by default.
    inner_ = {InnerAlloc, InnerReAlloc, InnerFree};
    const ListHeapMethods methods = {Alloc, ReAlloc, Free};
    ListSetHeap(&methods);
}

TestHeap::~TestHeap() {
    // Blocks kept by a failed release are returned here so the process stays
    // clean for the leak checker; the test has looked at Outstanding() already.
    plan_.Arm(0, false);
    system_.Arm(0, false);
    for (const auto &entry : live_) {
        inner_.Free(entry.first);
    }
    ListSetHeap(&previous_);
    Current = nullptr;
}

void *TestHeap::Alloc(uint32_t size) {
    TestHeap &heap = *Current;
    if (heap.plan_.Fails()) {
        return nullptr;
    }
    void *block = heap.inner_.Alloc(size);
    if (block != nullptr) {
        heap.live_[block] = size;
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

void *TestHeap::SystemAlloc(size_t size) {
    TestHeap &heap = *Current;
    void *block = heap.system_.Fails() ? nullptr : PlatAlloc(size);
    heap.systemLive_ += block != nullptr ? 1 : 0;
    return block;
}

void *TestHeap::SystemReAlloc(void *block, size_t newSize) {
    return Current->system_.Fails() ? nullptr : PlatReAlloc(block, newSize);
}

int TestHeap::SystemFree(void *block) {
    TestHeap &heap = *Current;
    if (heap.system_.Fails() || !PlatFree(block)) {
        return 0;
    }
    heap.systemLive_--;
    return 1;
}

const CHeap &TestHeap::System() {
    static const CHeap failing = {SystemAlloc, SystemReAlloc, SystemFree};
    return failing;
}

void *TestHeap::InnerAlloc(uint32_t size) {
    return GrowingAlloc(System(), size);
}

void *TestHeap::InnerReAlloc(void *block, uint32_t newSize) {
    return GrowingReAlloc(System(), block, newSize);
}

int TestHeap::InnerFree(void *block) {
    return GrowingFree(System(), block);
}

} // namespace testing_support
