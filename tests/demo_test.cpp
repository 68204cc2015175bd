// The demonstration's callbacks, driven through a real list.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "demo.h"
#include <slot_list/slot_list.h>

namespace {

// "遍历结束\r\n" in GBK, written out by hand.
const std::string End = "\xb1\xe9\xc0\xfa\xbd\xe1\xca\xf8\r\n";

struct PrintElementTest : ::testing::Test {
    ListHandle handle = nullptr;
    void SetUp() override {
        ASSERT_EQ(1, ListCreate(&handle, CompareElements, PrintElement, 2, DemoElementSize, 10));
    }
    void TearDown() override { EXPECT_NE(0, ListDestroy(&handle)); }
    void Insert(const char *text) {
        char element[DemoElementSize] = {};
        std::snprintf(element, sizeof element, "%s", text);
        ASSERT_EQ(1, ListInsert(&handle, element));
    }
    int Delete(const char *text) {
        char element[DemoElementSize] = {};
        std::snprintf(element, sizeof element, "%s", text);
        return ListDelete(&handle, element);
    }
    std::string Traverse() {
        ::testing::internal::CaptureStdout();
        ListTraverse(&handle);
        std::fflush(stdout);
        return ::testing::internal::GetCapturedStdout();
    }
};

TEST_F(PrintElementTest, EmptyListPrintsOnlyTheClosingText) {
    EXPECT_EQ(End, Traverse());
}

TEST_F(PrintElementTest, BreaksTheLineAfterEveryFourthPosition) {
    for (const char *text : {"A", "B", "C", "D", "E"}) {
        Insert(text);
    }
    EXPECT_EQ("A\tB\tC\tD\t\r\nE\t" + End, Traverse());
}

TEST_F(PrintElementTest, ClosesOnALineOfItsOwnAfterAFourthPosition) {
    for (const char *text : {"A", "B", "C", "D"}) {
        Insert(text);
    }
    EXPECT_EQ("A\tB\tC\tD\t\r\n" + End, Traverse());
}

TEST_F(PrintElementTest, HolesUseUpPositions) {
    for (const char *text : {"A", "B", "C", "D", "E"}) {
        Insert(text);
    }
    ASSERT_EQ(1, Delete("A"));
    EXPECT_EQ("B\tC\tD\t\r\nE\t" + End, Traverse());
    ASSERT_EQ(1, Delete("E"));
    ASSERT_EQ(1, Delete("D"));
    EXPECT_EQ("B\tC\t" + End, Traverse());
}

TEST(CompareElements, LooksOnlyUpToTheTerminator) {
    char first[DemoElementSize] = "nihao";
    char second[DemoElementSize] = "nihao";
    std::memset(first + 6, 'x', sizeof first - 6);
    EXPECT_EQ(0, CompareElements(first, second));
    second[4] = 'O';
    EXPECT_NE(0, CompareElements(first, second));
    EXPECT_NE(0, CompareElements("nihao", "niha"));
}

} // namespace
