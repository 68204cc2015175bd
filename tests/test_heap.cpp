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
    // The C heap's calls as the library's heap makes them here, failing as
    // system_ says.
    static const CHeap system = {
        [](size_t size) {
            void *block = Current->system_.Fails() ? nullptr : PlatAlloc(size);
            Current->systemLive_ += block != nullptr ? 1 : 0;
            return block;
        },
        [](void *block, size_t newSize) {
            return Current->system_.Fails() ? nullptr : PlatReAlloc(block, newSize);
        },
        [](void *block) {
            if (Current->system_.Fails() || !PlatFree(block)) {
                return 0;
            }
            Current->systemLive_--;
            return 1;
        }};
    // The library's own heap, on the C heap through this heap's failing layer:
    // with nothing failing, the heap every list has by default.
    inner_ = {[](uint32_t size) { return GrowingAlloc(system, size); },
              [](void *block, uint32_t newSize) { return GrowingReAlloc(system, block, newSize); },
              [](void *block) { return GrowingFree(system, block); }};
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

} // namespace testing_support
