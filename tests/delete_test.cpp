// Deletion, hole tracking and compaction.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "helpers.h"
#include <slot_list/slot_list.h>

using namespace testing_support;

namespace {

// Every list a test leaves, whatever failed on the way, has its lock free.
struct Delete : ::testing::Test {
    ListHandle handle = nullptr;
    void TearDown() override {
        if (handle != nullptr) {
            Destroy();
        }
    }
    void Destroy() {
        EXPECT_TRUE(LockIsFree(handle->Lock));
        EXPECT_NE(0, ListDestroy(&handle));
    }
    unsigned char *Slot(uint32_t index) const { return SlotAt(handle, index); }
    // Every slot from Count to the end of the block reads as zero.
    bool TailIsZero() const {
        return AllZero(Slot(handle->Count),
                       (Capacity(handle) - handle->Count) * handle->ElementSize);
    }
};

// Holes stay until there are more than the limit; then one pass, in place,
// squeezes every hole out, adjacent or scattered, the elements moved whole and
// the capacity kept; the lowest hole is remembered until then.
TEST_F(Delete, LeavesHolesUntilTheLimitThenCompactsInOnePass) {
    struct Row {
        uint32_t GrowBy, ElementSize, HoleLimit, Length; // keys 1 to Length
        Keys Before;                                     // deleted first
        uint32_t Key;                                    // then deleted
        Keys After;                                      // 0 for a hole
        uint32_t HoleCount;
        int FirstHole; // its slot, -1 for none
    };
    // clang-format off
    const Row rows[] = {
        {4, 16, 1, 4, {}, 1, {0, 2, 3, 4}, 1, 0},
        {4, 16, 1, 4, {1}, 3, {2, 4}, 0, -1},
        {2, 16, 0, 1, {}, 1, {}, 0, -1},
        {4, 16, 0, 3, {}, 2, {1, 3}, 0, -1},
        {8, 8, 3, 7, {3, 2}, 6, {1, 0, 0, 4, 5, 0, 7}, 3, 1},
        {8, 8, 3, 7, {3, 2, 6}, 7, {1, 4, 5}, 0, -1},
        {8, 8, 10, 4, {}, 3, {1, 2, 0, 4}, 1, 2},
        {8, 8, 10, 4, {3}, 4, {1, 2, 0, 0}, 2, 2},
        {8, 8, 10, 4, {3, 4}, 1, {0, 2, 0, 0}, 3, 0},
    };
    // clang-format on
    for (const Row &row : rows) {
        SCOPED_TRACE("limit " + std::to_string(row.HoleLimit) + ", key " + std::to_string(row.Key));
        handle = MakeList(row.GrowBy, row.ElementSize, row.HoleLimit);
        InsertKeys(&handle, KeyRange(1, row.Length));
        for (uint32_t key : row.Before) {
            ASSERT_EQ(1, DeleteKey(&handle, key));
        }
        const ListBlock *block = handle;
        const uint32_t blockSize = handle->BlockSize;
        ASSERT_EQ(1, DeleteKey(&handle, row.Key));
        EXPECT_EQ(row.After, SlotKeys(handle));
        for (uint32_t i = 0; i < row.After.size() && i < handle->Count; i++) {
            std::vector<unsigned char> element = Element(row.ElementSize, row.After[i]);
            EXPECT_TRUE(row.After[i] == 0 ||
                        std::memcmp(element.data(), Slot(i), element.size()) == 0);
        }
        EXPECT_EQ(row.HoleCount, handle->HoleCount);
        EXPECT_EQ(row.FirstHole < 0 ? nullptr : Slot(static_cast<uint32_t>(row.FirstHole)),
                  handle->FirstHole);
        EXPECT_TRUE(TailIsZero());
        EXPECT_EQ(block, handle);
        EXPECT_EQ(blockSize, handle->BlockSize);
        Destroy();
    }
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
    handle = MakeList(4, 16, 5);
    InsertKeys(&handle, {7, 8, 7});
    Compared.clear();
    ASSERT_EQ(1, DeleteKey(&handle, 7));
    EXPECT_EQ((Keys{0, 8, 7}), SlotKeys(handle));
    ASSERT_FALSE(Compared.empty());
    EXPECT_EQ(Slot(0), Compared.back().first);
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
        Destroy();
    }
    // With the front slots deleted first, the walks start from slot 0 again:
    // the live slots moved down past where they began.
    handle = MakeList(8, 16, 10);
    InsertKeys(&handle, {1, 2, 3, 4});
    ASSERT_EQ(1, DeleteKey(&handle, 1));
    ASSERT_EQ(1, DeleteKey(&handle, 2));
    handle->HoleCount++;
    handle->HoleLimit = 0;
    EXPECT_EQ(0, DeleteKey(&handle, 4));
    EXPECT_EQ((Keys{3}), SlotKeys(handle));
    std::vector<unsigned char> key = Element(16, 3);
    EXPECT_EQ(Slot(0), ListFind(&handle, key.data()));
}

// Where the walk goes on after ListDeleteAt: the next slot, renumbered by a
// compaction, which may also remove the next slot itself; nothing is
// compared. (The C++ suite walks a list erasing as it goes.)
TEST_F(Delete, AtPositionWritesWhereTheWalkGoesOn) {
    struct Row {
        const char *Name;
        uint32_t Length, HoleLimit, Before; // keys 1 to Length; Before deleted first (0: none)
        uint32_t Position, Written;
        Keys After;
    };
    const Row rows[] = {
        {"no compaction", 4, 5, 0, 2, 3, {1, 0, 3, 4}},
        {"a hole below removed", 5, 1, 1, 3, 2, {2, 4, 5}},
        {"the next slot a hole, removed", 5, 1, 3, 2, 2, {1, 4, 5}},
        {"the last element", 3, 0, 0, 3, 3, {1, 2}},
        {"the only element", 1, 0, 0, 1, 1, {}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.Name);
        handle = MakeList(8, 16, row.HoleLimit);
        InsertKeys(&handle, KeyRange(1, row.Length));
        if (row.Before != 0) {
            handle->HoleLimit = 10;
            ASSERT_EQ(1, DeleteKey(&handle, row.Before));
            handle->HoleLimit = row.HoleLimit;
        }
        uint32_t position = row.Position;
        Compared.clear();
        EXPECT_EQ(1, ListDeleteAt(&handle, &position));
        EXPECT_TRUE(Compared.empty());
        EXPECT_EQ(row.Written, position);
        EXPECT_EQ(row.After, SlotKeys(handle));
        EXPECT_TRUE(TailIsZero());
        Destroy();
    }
}

// The predicate sees every live element once, in slot order, with the
// positions it had before the call: the compaction waits for the walk's end.
TEST_F(Delete, IfCallsTheMatchInSlotOrderThenCompactsOnce) {
    handle = MakeList(8, 16, 1);
    InsertKeys(&handle, {1, 2, 3, 4, 5, 6});
    ASSERT_EQ(1, DeleteKey(&handle, 2));
    Compared.clear();
    static std::vector<std::pair<uint32_t, uint32_t>> seen;
    static int context;
    seen.clear();
    auto odd = [](const void *element, uint32_t position, void *given) {
        EXPECT_EQ(&context, given);
        seen.emplace_back(KeyOf(element), position);
        return static_cast<int>(KeyOf(element) % 2);
    };
    EXPECT_EQ(3u, ListDeleteIf(&handle, odd, &context));
    EXPECT_EQ((std::vector<std::pair<uint32_t, uint32_t>>{{1, 1}, {3, 3}, {4, 4}, {5, 5}, {6, 6}}),
              seen);
    EXPECT_EQ((Keys{4, 6}), SlotKeys(handle));
    EXPECT_EQ(0u, handle->HoleCount);
    EXPECT_EQ(nullptr, handle->FirstHole);
    EXPECT_EQ(2u, ListSize(&handle));
    EXPECT_TRUE(Compared.empty());
}

// Orders by key / 10, so that 11 to 19 are equivalent; checks the context it
// is given.
int OrderContext;
int OrderKeys(const void *first, const void *second, void *context) {
    EXPECT_EQ(&OrderContext, context);
    return static_cast<int>(KeyOf(first) / 10) - static_cast<int>(KeyOf(second) / 10);
}

// Clear, compact and sort end alike: the live elements (none after a clear)
// from slot 0 up, no hole counted or remembered, every slot past them zero,
// the capacity kept; inserts go on after them.
TEST_F(Delete, ClearCompactAndSortLeaveNoHole) {
    struct Case {
        const char *Name;
        std::function<int(ListHandle *)> Call;
        Keys After;
    };
    const Case cases[] = {
        {"clear", ListClear, {}},
        {"compact", ListCompact, {31, 12, 11, 33, 2}},
        // Stable: 12 stays ahead of 11, and 31 of 33.
        {"sort",
         [](ListHandle *list) { return ListSort(list, OrderKeys, &OrderContext); },
         {2, 12, 11, 31, 33}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        handle = MakeList(4, 16, 5);
        InsertKeys(&handle, {31, 25, 12, 25, 11, 33, 2, 9});
        for (uint32_t key : {25u, 25u, 9u}) { // holes side by side and last
            ASSERT_EQ(1, DeleteKey(&handle, key));
        }
        const uint32_t blockSize = handle->BlockSize;
        EXPECT_EQ(1, c.Call(&handle));
        EXPECT_EQ(c.After, SlotKeys(handle));
        EXPECT_EQ(0u, handle->HoleCount);
        EXPECT_EQ(nullptr, handle->FirstHole);
        EXPECT_TRUE(TailIsZero());
        EXPECT_EQ(blockSize, handle->BlockSize);
        // Nothing left to squeeze: the same again changes nothing.
        std::vector<unsigned char> before = Snapshot(handle);
        EXPECT_EQ(1, c.Call(&handle));
        EXPECT_EQ(before, Snapshot(handle));
        InsertKeys(&handle, {7});
        Keys after = c.After;
        after.push_back(7);
        EXPECT_EQ(after, SlotKeys(handle));
        EXPECT_EQ(1, DeleteKey(&handle, 7));
        EXPECT_EQ(Slot(handle->Count - 1), handle->FirstHole);
        Destroy();
    }
}

// A header claiming a hole that is not there: the sort takes no more elements
// than the header counts live, all that its scratch holds.
TEST_F(Delete, SortTakesNoMoreElementsThanTheHeaderCountsLive) {
    handle = MakeList(8, 16, 5);
    InsertKeys(&handle, {40, 10, 30, 20});
    handle->HoleCount = 1;
    EXPECT_EQ(1, ListSort(&handle, OrderKeys, &OrderContext));
    EXPECT_EQ((Keys{10, 30, 40}), SlotKeys(handle));
    EXPECT_TRUE(TailIsZero());
}

// Positions with no live element: 0, nothing changed, the position
// unwritten and no callback made.
TEST_F(Delete, AtPositionRefusesAPositionWithNoLiveElement) {
    handle = MakeList(4, 16, 1);
    InsertKeys(&handle, {1, 2, 3});
    ASSERT_EQ(1, DeleteKey(&handle, 2));
    std::vector<unsigned char> before = Snapshot(handle);
    Compared.clear();
    for (uint32_t start : {0u, 2u, 4u, 5u, UINT32_MAX}) { // 2 is the hole
        uint32_t position = start;
        EXPECT_EQ(0, ListDeleteAt(&handle, &position)) << start;
        EXPECT_EQ(start, position);
    }
    EXPECT_EQ(before, Snapshot(handle));
    EXPECT_TRUE(Compared.empty());
}

} // namespace
