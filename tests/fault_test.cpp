// Every heap call the list makes, failed in turn: the list must come out
// exactly as its contract says, with its lock free and nothing leaked.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "helpers.h"
#include "slot_list.h"

using namespace testing_support;

namespace {

using Keys = std::vector<uint32_t>;

// Another thread can take the list's lock (it traverses the list).
bool LockIsFree(ListHandle *handle) {
    auto done = std::async(std::launch::async, [handle] { ListTraverse(handle); });
    if (done.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        std::abort(); // the worker is stuck on the lock; nothing sensible remains
    }
    return true;
}

TEST(Faults, CreateFailingTheBlockOrTheLockAllocatesNothing) {
    for (uint64_t n : {1u, 2u}) {
        TestHeap heap;
        heap.FailAt(n);
        ListHandle handle = reinterpret_cast<ListHandle>(&heap);
        EXPECT_EQ(0, ListCreate(&handle, CompareKeys, RecordVisit, 2, 16, 1)) << n;
        EXPECT_EQ(reinterpret_cast<ListHandle>(&heap), handle) << n;
        EXPECT_EQ(1u, heap.Failures());
        EXPECT_EQ(0u, heap.Outstanding()) << n;
    }
}

// The two calls above are all there are: the block and the lock, each
// released by destruction.
TEST(Faults, CreateAndDestroyCallTheHeapTwiceEach) {
    TestHeap heap;
    ListHandle handle = MakeList(2, 16, 1);
    EXPECT_EQ(2u, heap.Calls());
    EXPECT_NE(0, ListDestroy(&handle));
    EXPECT_EQ(4u, heap.Calls());
    EXPECT_EQ(0u, heap.Outstanding());
}

class GrowthFault : public ::testing::TestWithParam<bool> {};

TEST_P(GrowthFault, LeavesTheListExactlyAsItWas) {
    TestHeap heap;
    heap.MoveOnGrowth(GetParam());
    ListHandle handle = MakeList(2, 32, 3);
    InsertKeys(&handle, {1, 2, 3});
    ASSERT_EQ(1, DeleteKey(&handle, 2));
    ListHandle before = handle;
    std::vector<unsigned char> bytes = Snapshot(handle);
    heap.FailAt(1);
    std::vector<unsigned char> element = Element(32, 4);
    EXPECT_EQ(0, ListInsert(&handle, element.data()));
    EXPECT_EQ(1u, heap.Failures());
    EXPECT_EQ(before, handle);
    EXPECT_EQ(bytes, Snapshot(handle));
    EXPECT_TRUE(LockIsFree(&handle));
    // The same insert succeeds once the heap gives.
    heap.FailNone();
    EXPECT_EQ(1, ListInsert(&handle, element.data()));
    EXPECT_EQ((Keys{1, 0, 3, 4}), SlotKeys(handle));
    EXPECT_NE(0, ListDestroy(&handle));
    EXPECT_EQ(0u, heap.Outstanding());
}

INSTANTIATE_TEST_SUITE_P(InPlaceAndMoving, GrowthFault, ::testing::Bool());

// Compaction works in place: with every heap call failing it still completes.
TEST(Faults, CompactionNeedsNoHeap) {
    TestHeap heap;
    ListHandle handle = MakeList(8, 16, 2);
    InsertKeys(&handle, {1, 2, 3, 4, 5, 6});
    ASSERT_EQ(1, DeleteKey(&handle, 2));
    ASSERT_EQ(1, DeleteKey(&handle, 4));
    heap.FailAt(1, true);
    EXPECT_EQ(1, DeleteKey(&handle, 5));
    EXPECT_EQ(0u, heap.Calls());
    EXPECT_EQ((Keys{1, 3, 6}), SlotKeys(handle));
    EXPECT_EQ(0u, handle->HoleCount);
    EXPECT_EQ(nullptr, handle->FirstHole);
    heap.FailNone();
    EXPECT_NE(0, ListDestroy(&handle));
    EXPECT_EQ(0u, heap.Outstanding());
}

TEST(Faults, DestroyRefusedForTheBlockKeepsTheList) {
    TestHeap heap;
    ListHandle handle = MakeList(2, 16, 1);
    InsertKeys(&handle, {1, 2});
    std::vector<unsigned char> bytes = Snapshot(handle);
    ListHandle before = handle;
    heap.FailAt(1);
    EXPECT_EQ(0, ListDestroy(&handle));
    EXPECT_EQ(before, handle);
    EXPECT_EQ(bytes, Snapshot(handle));
    heap.FailNone();
    InsertKeys(&handle, {3});
    EXPECT_NE(0, ListDestroy(&handle));
    EXPECT_EQ(0u, heap.Outstanding());
}

TEST(Faults, DestroyRefusedForTheLockStillEndsTheList) {
    TestHeap heap;
    ListHandle handle = MakeList(2, 16, 1);
    heap.FailAt(2);
    EXPECT_EQ(0, ListDestroy(&handle));
    EXPECT_EQ(nullptr, handle);
    EXPECT_EQ(1u, heap.Outstanding()); // the lock's storage, which the heap kept
}

} // namespace
