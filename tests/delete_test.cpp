// Deletion, hole tracking and compaction.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "helpers.h"
#include <slot_list/slot_list.h>

using namespace testing_support;

namespace {

using Keys = std::vector<uint32_t>;

struct Delete : ::testing::Test {
    ListHandle handle = nullptr;
    void TearDown() override {
        if (handle != nullptr) {
            EXPECT_NE(0, ListDestroy(&handle));
        }
    }
    unsigned char *Slot(uint32_t index) const { return SlotAt(handle, index); }
    // Every slot from Count to the end of the block reads as zero.
    bool TailIsZero() const {
        const auto *end = reinterpret_cast<const unsigned char *>(handle) + handle->BlockSize;
        for (const unsigned char *p = Slot(handle->Count); p < end; p++) {
            if (*p != 0) {
                return false;
            }
        }
        return true;
    }
};

TEST_F(Delete, LeavesHolesUntilTheLimitThenCompactsFromTheLowest) {
    handle = MakeList(4, 16, 1);
    InsertKeys(&handle, {1, 2, 3, 4});
    ASSERT_EQ(1, DeleteKey(&handle, 1));
    EXPECT_EQ((Keys{0, 2, 3, 4}), SlotKeys(handle));
    EXPECT_EQ(1u, handle->HoleCount);
    EXPECT_EQ(Slot(0), handle->FirstHole);

    ASSERT_EQ(1, DeleteKey(&handle, 3));
    EXPECT_EQ((Keys{2, 4}), SlotKeys(handle));
    EXPECT_EQ(0u, handle->HoleCount);
    EXPECT_EQ(nullptr, handle->FirstHole);
    EXPECT_TRUE(TailIsZero());
    EXPECT_EQ(0, std::memcmp(Element(16, 4).data(), Slot(1), 16));

    Visits.clear();
    ListTraverse(&handle);
    EXPECT_EQ((Keys{2, 4}), VisitedKeys());
    EXPECT_EQ(2u, Visits[1].Position);
}

TEST_F(Delete, HoleLimitZeroCompactsASingleElementAway) {
    handle = MakeList(2, 16, 0);
    InsertKeys(&handle, {1});
    ASSERT_EQ(1, DeleteKey(&handle, 1));
    EXPECT_EQ(0u, handle->Count);
    EXPECT_EQ(0u, handle->HoleCount);
    EXPECT_EQ(nullptr, handle->FirstHole);
    EXPECT_TRUE(TailIsZero());
}

TEST_F(Delete, OnePassRemovesAdjacentAndScatteredHoles) {
    handle = MakeList(8, 8, 3);
    InsertKeys(&handle, {1, 2, 3, 4, 5, 6, 7});
    for (uint32_t key : {3u, 2u, 6u}) {
        ASSERT_EQ(1, DeleteKey(&handle, key));
    }
    EXPECT_EQ((Keys{1, 0, 0, 4, 5, 0, 7}), SlotKeys(handle));
    EXPECT_EQ(Slot(1), handle->FirstHole);
    ASSERT_EQ(1, DeleteKey(&handle, 7)); // the fourth hole is over the limit
    EXPECT_EQ((Keys{1, 4, 5}), SlotKeys(handle));
    EXPECT_EQ(0u, handle->HoleCount);
    EXPECT_EQ(nullptr, handle->FirstHole);
    EXPECT_EQ(8u, (handle->BlockSize - sizeof(ListBlock)) / 8); // capacity never shrinks
    EXPECT_TRUE(TailIsZero());
}

TEST_F(Delete, FirstHoleFollowsTheLowestHole) {
    handle = MakeList(8, 8, 10);
    InsertKeys(&handle, {1, 2, 3, 4});
    ASSERT_EQ(1, DeleteKey(&handle, 3));
    EXPECT_EQ(Slot(2), handle->FirstHole);
    ASSERT_EQ(1, DeleteKey(&handle, 4));
    EXPECT_EQ(Slot(2), handle->FirstHole);
    ASSERT_EQ(1, DeleteKey(&handle, 1));
    EXPECT_EQ(Slot(0), handle->FirstHole);
    EXPECT_EQ(3u, handle->HoleCount);
    EXPECT_EQ(4u, handle->Count);
}

// A hole in the middle, and one at the end of the used range that the walk
// for a missing key runs out through.
TEST_F(Delete, NoMatchChangesNothing) {
    handle = MakeList(4, 16, 2);
    InsertKeys(&handle, {1, 2, 3});
    ASSERT_EQ(1, DeleteKey(&handle, 2));
    ASSERT_EQ(1, DeleteKey(&handle, 3));
    std::vector<unsigned char> before = Snapshot(handle);
    EXPECT_EQ(0, DeleteKey(&handle, 9));
    EXPECT_EQ(0, DeleteKey(&handle, 2)); // its slot is a hole now
    EXPECT_EQ(before, Snapshot(handle));
}

TEST_F(Delete, ClearsOnlyTheFirstOfEqualSlotsComparingSlotFirst) {
    static const void *firstSeen;
    ASSERT_EQ(1, ListCreate(
                     &handle,
                     [](const void *first, const void *second) -> int32_t {
                         firstSeen = first;
                         return CompareKeys(first, second);
                     },
                     RecordVisit, 4, 16, 5));
    InsertKeys(&handle, {7, 8, 7});
    ASSERT_EQ(1, DeleteKey(&handle, 7));
    EXPECT_EQ((Keys{0, 8, 7}), SlotKeys(handle));
    EXPECT_EQ(Slot(0), firstSeen);
}

// A comparator that calls every empty slot equal to an empty key must not
// make deletion clear a hole again and count it twice.
int32_t EqualWhenBothEmpty(const void *first, const void *second) {
    return (KeyOf(first) == 0 && KeyOf(second) == 0) ? 0 : CompareKeys(first, second);
}

TEST_F(Delete, NeverMatchesAHole) {
    ASSERT_EQ(1, ListCreate(&handle, EqualWhenBothEmpty, RecordVisit, 4, 8, 1));
    InsertKeys(&handle, {1, 2, 3});
    ASSERT_EQ(1, DeleteKey(&handle, 1));
    std::vector<unsigned char> before = Snapshot(handle);
    unsigned char emptyKey[8] = {0, 0, 0, 0, 1};
    EXPECT_EQ(0, ListDelete(&handle, emptyKey));
    EXPECT_EQ(before, Snapshot(handle));
    // The count stays true, so the next compaction completes.
    ASSERT_EQ(1, DeleteKey(&handle, 3));
    EXPECT_EQ((Keys{2}), SlotKeys(handle));
    EXPECT_EQ(0u, handle->HoleCount);
}

TEST_F(Delete, CompactionWorksInPlace) {
    handle = MakeList(4, 16, 0);
    InsertKeys(&handle, {1, 2, 3});
    ListHandle before = handle;
    ASSERT_EQ(1, DeleteKey(&handle, 2));
    EXPECT_EQ(before, handle); // compaction works in place
    std::vector<unsigned char> key = Element(16, 3);
    EXPECT_EQ(Slot(1), ListFind(&handle, key.data()));
}

// An empty slot nobody counted (the caller cleared it through a found
// address) stays once the counted holes are gone: the walk stops there.
TEST_F(Delete, CompactionStopsAtTheLastCountedHole) {
    handle = MakeList(8, 16, 1);
    InsertKeys(&handle, {1, 2, 3, 4, 5});
    std::vector<unsigned char> key = Element(16, 4);
    std::memset(ListFind(&handle, key.data()), 0, 16);
    ASSERT_EQ(1, DeleteKey(&handle, 1));
    ASSERT_EQ(1, DeleteKey(&handle, 2));
    EXPECT_EQ((Keys{3, 0, 5}), SlotKeys(handle));
    EXPECT_EQ(0u, handle->HoleCount);
    EXPECT_TRUE(TailIsZero());
}

// A header claiming more holes than there are (one more, two more): the walk
// removes every empty slot it meets, runs off the used range and reports the
// failure, keeping the deletion and the holes still counted.
TEST_F(Delete, CompactionPastTheLastSlotFails) {
    for (uint32_t claimed : {2u, 3u}) {
        SCOPED_TRACE(claimed);
        handle = MakeList(8, 16, 0);
        InsertKeys(&handle, {1, 2, 3, 4});
        handle->HoleLimit = 10;
        ASSERT_EQ(1, DeleteKey(&handle, 2));
        handle->HoleCount = claimed;
        handle->HoleLimit = 0;
        EXPECT_EQ(0, DeleteKey(&handle, 4));
        EXPECT_EQ((Keys{1, 3}), SlotKeys(handle));
        EXPECT_EQ(claimed - 1, handle->HoleCount);
        EXPECT_EQ(Slot(1), handle->FirstHole);
        EXPECT_TRUE(TailIsZero());
        EXPECT_NE(0, ListDestroy(&handle));
    }
}

} // namespace
