// The demonstration on every platform: its callbacks through a real list, and
// the message for a list it cannot create.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "demo.h"
#include "messages.h"
#include <slot_list/slot_list.h>

// In demo_posix_test.cpp or demo_win_test.cpp: the system's text for an error
// code, and a refusal by the system's heap, which leaves the code it returns.
std::string SystemText(int code);
int RefuseLikeTheSystem();

namespace {

// Holes use up positions too, so the line breaks follow slots, not elements.
TEST(PrintElement, BreaksTheLineAfterEveryFourthPosition) {
    struct Row {
        const char *Inserted, *Deleted, *Shown;
    };
    for (const Row &row : {Row{"", "", ""}, Row{"ABCD", "", "A\tB\tC\tD\t\r\n"},
                           Row{"ABCDE", "", "A\tB\tC\tD\t\r\nE\t"},
                           Row{"ABCDE", "A", "B\tC\tD\t\r\nE\t"}, Row{"ABCDE", "AED", "B\tC\t"}}) {
        ListHandle handle = nullptr;
        ASSERT_EQ(1, ListCreate(&handle, CompareElements, PrintElement, 2, DemoElementSize, 10));
        char element[DemoElementSize] = {};
        for (const char *c = row.Inserted; *c != '\0'; c++) {
            element[0] = *c;
            EXPECT_EQ(1, ListInsert(&handle, element));
        }
        for (const char *c = row.Deleted; *c != '\0'; c++) {
            element[0] = *c;
            EXPECT_EQ(1, ListDelete(&handle, element));
        }
        ::testing::internal::CaptureStdout();
        ListTraverse(&handle);
        EXPECT_EQ(row.Shown + std::string(MsgTraverseEnd),
                  ::testing::internal::GetCapturedStdout());
        EXPECT_NE(0, ListDestroy(&handle));
    }
}

TEST(CompareElements, LooksOnlyUpToTheTerminator) {
    char first[DemoElementSize] = "nihao", second[DemoElementSize] = "nihao";
    std::memset(first + 6, 'x', sizeof first - 6);
    EXPECT_EQ(0, CompareElements(first, second));
    EXPECT_NE(0, CompareElements(first, "nihaO"));
    EXPECT_NE(0, CompareElements("nihao", "niha"));
}

int Refused = 0;
void *Refuse(uint32_t) {
    Refused = RefuseLikeTheSystem();
    return nullptr;
}

TEST(DemoRun, ReportsAFailedCreationWithTheSystemText) {
    const ListHeapMethods refusing = {Refuse, [](void *, uint32_t size) { return Refuse(size); },
                                      [](void *) { return 1; }};
    ASSERT_EQ(1, ListSetHeap(&refusing));
    ::testing::internal::CaptureStdout();
    const int status = RunScenario();
    const std::string output = ::testing::internal::GetCapturedStdout();
    ListSetHeap(nullptr);
    EXPECT_EQ(1, status);
    const std::string text = SystemText(Refused);
    ASSERT_TRUE(Refused != 0 && !text.empty()) << Refused;
    std::string expected = MsgCreateFailed;
    EXPECT_EQ(expected.replace(expected.find("%s"), 2, text), output);
}

} // namespace
