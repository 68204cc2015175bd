// The demonstration's failure message on Windows: a heap call that really
// fails, and the system's text for the error it left.

#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <string>

#include "scenario_run.h"

namespace {

// "初始化链表失败, " in GBK.
const std::string CreateFailed = "\xb3\xf5\xca\xbc\xbb\xaf\xc1\xb4\xb1\xed\xca\xa7\xb0\xdc, ";

// The error code the process heap left when it refused.
DWORD HeapError = 0;

// Asks the process heap for more than any address space holds, so the heap
// itself fails and sets the thread's error code.
void *OversizedAlloc(uint32_t) {
    void *block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, SIZE_MAX / 2);
    HeapError = GetLastError();
    return block;
}
void *OversizedReAlloc(void *block, uint32_t) {
    void *moved = HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block, SIZE_MAX / 2);
    HeapError = GetLastError();
    return moved;
}
int ProcessHeapFree(void *block) {
    return HeapFree(GetProcessHeap(), 0, block) ? 1 : 0;
}

std::string SystemText(DWORD code) {
    char text[1024] = "";
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, text, sizeof text, nullptr);
    return std::string(text, length);
}

TEST(DemoRun, ReportsAFailedCreationWithTheSystemText) {
    SetLastError(ERROR_SUCCESS);
    ScenarioRun run = RunScenarioWithHeap({OversizedAlloc, OversizedReAlloc, ProcessHeapFree});
    EXPECT_EQ(1, run.Status);
    ASSERT_NE(DWORD{ERROR_SUCCESS}, HeapError);
    std::string text = SystemText(HeapError);
    ASSERT_FALSE(text.empty()) << HeapError;
    EXPECT_EQ(CreateFailed + text + "\r\n", run.Output);
}

} // namespace
