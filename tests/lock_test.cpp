// The list's lock: held across a growth that moves the block and while the
// callbacks run, and no shared state between threads that use different lists.
// The tests of each operation's refusals check that the lock is let go.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "helpers.h"
#include "list.h"
#include <slot_list/slot_list.h>

using namespace testing_support;

namespace {

// A single insert and a batch alike.
TEST(Lock, HeldAcrossAGrowthThatMovesTheBlock) {
    for (bool batch : {false, true}) {
        SCOPED_TRACE(batch ? "batch" : "single");
        TestHeap heap;
        heap.MoveOnGrowth(true);
        ListHandle handle = MakeList(2, 16, 1);
        InsertKeys(&handle, {1});
        ListLock *lock = handle->Lock;
        ListHandle grown = nullptr;
        bool heldDuringGrowth = false;
        std::thread waiters[2];
        Visits.clear();
        heap.OnGrowth([&](void *block) {
            grown = static_cast<ListHandle>(block);
            heldDuringGrowth = !LockIsFree(lock);
            // Its owner enters it again at once (a lock that is not would
            // hang here).
            slot_list::internal::PlatLockEnter(&lock->Mutex);
            slot_list::internal::PlatLockLeave(&lock->Mutex);
            // Two threads queue on the lock through the grown block; they can
            // get in only once the insert has let go, one after the other, so
            // each must see the new element. The pause lets them start waiting
            // while the lock is held.
            for (std::thread &waiter : waiters) {
                waiter = std::thread([&grown] { ListTraverse(&grown); });
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        });
        std::vector<unsigned char> element = Element(16, 9);
        ASSERT_EQ(1, batch ? ListInsertMany(&handle, element.data(), 1)
                           : ListInsert(&handle, element.data()));
        for (std::thread &waiter : waiters) {
            waiter.join();
        }
        heap.OnGrowth(nullptr);
        EXPECT_TRUE(heldDuringGrowth);
        EXPECT_EQ(grown, handle);
        EXPECT_EQ(lock, handle->Lock);
        EXPECT_EQ((Keys{1, 9, 1, 9}), VisitedKeys());
        EXPECT_TRUE(LockIsFree(lock));
        EXPECT_NE(0, ListDestroy(&handle));
        EXPECT_EQ(0u, heap.Outstanding());
    }
}

// Whether the list's lock was held, seen from another thread, at each
// callback the list made.
ListLock *WatchedLock;
std::vector<bool> HeldAtCalls;
int32_t CompareWatching(const void *first, const void *second) {
    HeldAtCalls.push_back(!LockIsFree(WatchedLock));
    return CompareKeys(first, second);
}
// A traversal of this list runs once, nested in the next visit: leaving the
// inner one must not let go of the outer one's hold.
ListHandle *NestIn = nullptr;
void VisitWatching(const void *, uint32_t, int) {
    HeldAtCalls.push_back(!LockIsFree(WatchedLock));
    if (ListHandle *list = std::exchange(NestIn, nullptr)) {
        ListTraverse(list);
    }
}

TEST(Lock, HeldWhileTheComparatorAndTheVisitorRun) {
    ListHandle handle = nullptr;
    ASSERT_EQ(1, ListCreate(&handle, CompareWatching, VisitWatching, 4, 16, 1));
    WatchedLock = handle->Lock;
    InsertKeys(&handle, {1, 2, 3});
    HeldAtCalls.clear();
    ASSERT_EQ(1, DeleteKey(&handle, 2)); // compares slots 0 and 1
    NestIn = &handle;
    ListTraverse(&handle); // visits 1 (inside it 1, 3 and the end), 3, then the end
    EXPECT_EQ(0u, ListDeleteIf(
                      &handle,
                      [](const void *, uint32_t, void *) {
                          HeldAtCalls.push_back(!LockIsFree(WatchedLock));
                          return 0;
                      },
                      nullptr)); // matches 1 and 3
    EXPECT_EQ(std::vector<bool>(10, true), HeldAtCalls);
    EXPECT_TRUE(LockIsFree(WatchedLock));
    EXPECT_NE(0, ListDestroy(&handle));
}

// A deletion by position calls nothing back, so its hold on the lock shows
// from outside only: while another thread holds the lock, it waits, and the
// element stays.
TEST(Lock, DeleteAtWaitsWhileAnotherThreadHoldsTheLock) {
    ListHandle handle = MakeList(4, 16, 1);
    InsertKeys(&handle, {1, 2});
    ListLock *lock = handle->Lock;
    std::atomic<int> stage{0};
    std::thread holder([lock, &stage] {
        slot_list::internal::PlatLockEnter(&lock->Mutex);
        stage = 1;
        while (stage != 2) {
            std::this_thread::yield();
        }
        slot_list::internal::PlatLockLeave(&lock->Mutex);
    });
    while (stage != 1) {
        std::this_thread::yield();
    }
    std::thread deleter([&handle] {
        uint32_t position = 1;
        EXPECT_EQ(1, ListDeleteAt(&handle, &position));
    });
    // The pause lets the deletion start waiting while the lock is held.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ((Keys{1, 2}), SlotKeys(handle));
    stage = 2;
    holder.join();
    deleter.join();
    EXPECT_EQ((Keys{0, 2}), SlotKeys(handle));
    EXPECT_TRUE(LockIsFree(lock));
    EXPECT_NE(0, ListDestroy(&handle));
}

// Callbacks free of shared state, so that only the list could make threads race.
int32_t CompareFirstWord(const void *first, const void *second) {
    return std::memcmp(first, second, sizeof(uint32_t)) == 0 ? 0 : 1;
}
thread_local uint32_t VisitedSum;
void SumVisit(const void *element, uint32_t, int isEnd) {
    if (!isEnd) {
        VisitedSum += KeyOf(element);
    }
}

TEST(Lock, ThreadsOnDifferentListsRunInParallel) {
    constexpr uint32_t Threads = 4;
    constexpr uint32_t KeyCount = 300;
    std::vector<Keys> left(Threads);
    std::vector<uint32_t> sums(Threads);
    std::vector<std::thread> workers;
    for (uint32_t t = 0; t < Threads; t++) {
        workers.emplace_back([t, &left, &sums] {
            ListHandle handle = nullptr;
            if (!ListCreate(&handle, CompareFirstWord, SumVisit, 1 + t, 16 + 8 * t, 2)) {
                return;
            }
            for (uint32_t key = 1; key <= KeyCount; key++) {
                std::vector<unsigned char> element = Element(handle->ElementSize, key);
                ListInsert(&handle, element.data());
                if (key % 3 == 0) {
                    DeleteKey(&handle, key - 1);
                }
            }
            VisitedSum = 0;
            ListTraverse(&handle);
            sums[t] = VisitedSum;
            left[t] = SlotKeys(handle);
            left[t].erase(std::remove(left[t].begin(), left[t].end(), 0u), left[t].end());
            ListDestroy(&handle);
        });
    }
    for (std::thread &worker : workers) {
        worker.join();
    }
    Keys expected;
    uint32_t sum = 0;
    for (uint32_t key = 1; key <= KeyCount; key++) {
        if (key % 3 != 2) {
            expected.push_back(key);
            sum += key;
        }
    }
    for (uint32_t t = 0; t < Threads; t++) {
        EXPECT_EQ(expected, left[t]) << "thread " << t;
        EXPECT_EQ(sum, sums[t]) << "thread " << t;
    }
}

} // namespace
