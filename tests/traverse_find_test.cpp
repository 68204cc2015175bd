// Traversal and search over live slots and holes.

#include <gtest/gtest.h>

#include <vector>

#include "helpers.h"
#include <slot_list/slot_list.h>

using namespace testing_support;

namespace {

using Walk = std::vector<std::pair<const void *, uint32_t>>;

struct TraverseFind : ::testing::Test {
    ListHandle handle = nullptr;
    void SetUp() override {
        Visits.clear();
        Compared.clear();
    }
    void TearDown() override {
        if (handle != nullptr) {
            EXPECT_NE(0, ListDestroy(&handle));
        }
    }
    void *Find(uint32_t key) {
        std::vector<unsigned char> element = Element(handle->ElementSize, key);
        return ListFind(&handle, element.data());
    }
    // (element, position) of each visit, the closing one included.
    Walk Visited() const {
        Walk visited;
        for (const Visit &visit : Visits) {
            visited.emplace_back(visit.Element, visit.Position);
        }
        return visited;
    }
};

TEST_F(TraverseFind, EmptyListMakesOnlyTheClosingCallAndFindsNothing) {
    handle = MakeList(2, 16, 1);
    ListTraverse(&handle);
    EXPECT_EQ((Walk{{nullptr, 0}}), Visited());
    EXPECT_EQ(1, Visits.back().IsEnd);
    EXPECT_EQ(nullptr, Find(1));
    EXPECT_TRUE(Compared.empty());
}

TEST_F(TraverseFind, HolesUsePositionsAndAreNeverCompared) {
    handle = MakeList(2, 16, 5);
    InsertKeys(&handle, {1, 2, 3});
    ASSERT_EQ(1, DeleteKey(&handle, 2));
    ListTraverse(&handle);
    EXPECT_EQ((Walk{{SlotAt(handle, 0), 1}, {SlotAt(handle, 2), 3}, {nullptr, 0}}), Visited());
    EXPECT_EQ((Keys{1, 3}), VisitedKeys());
    EXPECT_EQ(1, Visits.back().IsEnd);

    Compared.clear();
    EXPECT_EQ(SlotAt(handle, 2), Find(3));
    EXPECT_EQ(2u, Compared.size());
    EXPECT_EQ(nullptr, Find(2));
}

// The walk without a callback meets what a traversal visits, in order, and
// holds to its contract at the edges.
TEST_F(TraverseFind, NextWalksTheLiveSlotsATraversalVisits) {
    handle = MakeList(8, 16, 5);
    InsertKeys(&handle, {1, 2, 3, 4, 5});
    ASSERT_EQ(1, DeleteKey(&handle, 2));
    ASSERT_EQ(1, DeleteKey(&handle, 4));
    ASSERT_EQ(1, DeleteKey(&handle, 5));
    Compared.clear();
    ListTraverse(&handle);
    Visits.pop_back();
    Walk walked;
    uint32_t position = 0; // read as 1
    for (void *element; (element = ListNext(&handle, &position)) != nullptr; position++) {
        walked.emplace_back(element, position);
    }
    EXPECT_EQ(Visited(), walked);
    EXPECT_EQ(4u, position) << "the position after the last live one, unwritten at the end";
    position = 2; // a hole: the walk goes on to the next live one
    EXPECT_EQ(SlotAt(handle, 2), ListNext(&handle, &position));
    EXPECT_EQ(3u, position);

    // At the used range's end, past it, and with nothing to walk.
    for (uint32_t start : {handle->Count, handle->Count + 1, UINT32_MAX}) {
        position = start;
        EXPECT_EQ(nullptr, ListNext(&handle, &position));
        EXPECT_EQ(start, position);
    }
    EXPECT_TRUE(Compared.empty());
}

// Every slot is compared, key first, the walk going on past the first hit.
TEST_F(TraverseFind, FindPassesTheKeyFirstAndReturnsTheLastMatch) {
    handle = MakeList(4, 16, 1);
    InsertKeys(&handle, {7, 8, 7, 9});
    std::vector<unsigned char> key = Element(16, 7);
    Compared.clear();
    EXPECT_EQ(SlotAt(handle, 2), ListFind(&handle, key.data()));
    ASSERT_EQ(4u, Compared.size());
    for (uint32_t i = 0; i < 4; i++) {
        EXPECT_EQ((std::pair<const void *, const void *>{key.data(), SlotAt(handle, i)}),
                  Compared[i]);
    }
}

} // namespace
