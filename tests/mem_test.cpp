// The heap primitives and the overlap-safe clearing move.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include "helpers.h"
#include "list.h"

using namespace testing_support;
using namespace slot_list::internal;

namespace {

TEST(MemAlloc, GivesZeroFilledBlocks) {
    for (uint32_t size : {1u, 7u, 128u, 4096u, 1u << 20}) {
        auto *block = static_cast<unsigned char *>(MemAlloc(size));
        ASSERT_NE(nullptr, block);
        EXPECT_TRUE(AllZero(block, size)) << size;
        block[size - 1] = 1;
        EXPECT_NE(0, MemFree(block));
    }
}

// Size 0, a NULL block and a NULL release: only the release reaches the heap.
TEST(MemAlloc, RefusesZeroSizesAndNullBlocksWithoutCallingTheHeap) {
    TestHeap heap;
    EXPECT_EQ(nullptr, MemAlloc(0));
    EXPECT_EQ(nullptr, MemReAlloc(nullptr, 16));
    auto *block = static_cast<unsigned char *>(MemAlloc(16));
    ASSERT_NE(nullptr, block);
    std::memset(block, 0x5A, 16);
    EXPECT_EQ(nullptr, MemReAlloc(block, 0));
    EXPECT_EQ(1u, heap.Calls());
    EXPECT_EQ(16, std::count(block, block + 16, 0x5A));
    EXPECT_NE(0, MemFree(block));
    EXPECT_NE(0, MemFree(nullptr));
    EXPECT_EQ(3u, heap.Calls());
    EXPECT_EQ(0u, heap.Outstanding());
}

// Shrinking leaves the old bytes in the heap's memory; growing again in place
// must not bring them back, nor must a growth that moves the block (the C
// heap's realloc does not clear, and the tests run with MALLOC_PERTURB_).
TEST(MemReAlloc, GrowthIsZeroFilledOverDirtyMemory) {
    auto *block = static_cast<unsigned char *>(MemAlloc(4096));
    ASSERT_NE(nullptr, block);
    std::memset(block, 0xFF, 4096);
    block = static_cast<unsigned char *>(MemReAlloc(block, 8));
    ASSERT_NE(nullptr, block);
    block = static_cast<unsigned char *>(MemReAlloc(block, 4096));
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(8, std::count(block, block + 8, 0xFF));
    EXPECT_TRUE(AllZero(block + 8, 4096 - 8));
    block = static_cast<unsigned char *>(MemReAlloc(block, 1u << 22));
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(8, std::count(block, block + 8, 0xFF));
    EXPECT_TRUE(AllZero(block + 8, (1u << 22) - 8));
    EXPECT_NE(0, MemFree(block));
}

// A growth past a block's capacity asks the C heap for twice the capacity,
// and for exactly the size wanted when that is refused; a growth within the
// capacity asks it nothing. Whatever is refused leaves the block as it was.
TEST(MemReAlloc, GrowsGeometricallyAndFallsBackToTheExactSize) {
    TestHeap heap;
    auto *block = static_cast<unsigned char *>(MemAlloc(100));
    ASSERT_NE(nullptr, block);
    std::memset(block, 0x5A, 100);
    struct Step {
        uint32_t Size;
        uint64_t FailAt; // the C heap call that fails, 0 for none
        bool Every;
        uint64_t Calls; // C heap calls made
        bool Done;
    };
    const Step steps[] = {
        {101, 0, false, 1, true}, // past the capacity of 100: to 200
        {200, 0, false, 0, true}, // within it
        {150, 0, false, 0, true}, // a shrink keeps the capacity
        {201, 1, false, 2, true}, // 400 refused, 201 given
        {202, 0, false, 1, true}, // so this is past it again: to 402
        {900, 1, true, 1, false}, // more than double: only 900 asked, refused
        {900, 0, false, 1, true}, // then given
    };
    uint32_t size = 100;
    for (const Step &step : steps) {
        SCOPED_TRACE(step.Size);
        heap.FailSystemAt(step.FailAt, step.Every);
        auto *grown = static_cast<unsigned char *>(MemReAlloc(block, step.Size));
        EXPECT_EQ(step.Calls, heap.SystemCalls());
        EXPECT_EQ(step.Done, grown != nullptr);
        if (grown != nullptr) {
            block = grown;
            size = std::min(size, step.Size);
            EXPECT_TRUE(AllZero(block + size, step.Size - size));
            // Dirty what the block holds now, for the next growth to clear.
            size = step.Size;
            std::memset(block + 100, 0xEE, size - 100);
        }
        EXPECT_EQ(100, std::count(block, block + 100, 0x5A));
    }
    heap.FailSystemAt(0);
    EXPECT_NE(0, MemFree(block));
    EXPECT_EQ(0u, heap.OutstandingSystem());
}

#ifdef _WIN32
// The process heap is asked to grow a block in place only; a block it cannot
// grow there is moved whole, the refusal leaving the thread's last error as
// it was, and a move the heap refuses leaves the block as it was.
TEST(PlatReAlloc, MovesWholeKeepsTheLastErrorAndSurvivesARefusal) {
    auto *block = static_cast<unsigned char *>(PlatAlloc(64));
    ASSERT_NE(nullptr, block);
    std::memset(block, 0x5A, 64);
    EXPECT_EQ(nullptr, PlatReAlloc(block, SIZE_MAX / 2));
    EXPECT_EQ(64, std::count(block, block + 64, 0x5A));
    SetLastError(12345);
    block = static_cast<unsigned char *>(PlatReAlloc(block, 1u << 22));
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(12345u, GetLastError());
    EXPECT_EQ(64, std::count(block, block + 64, 0x5A));
    EXPECT_NE(0, PlatFree(block));
}
#endif

// At 32 bits the heap's own bookkeeping on top of a size near 2^32 no longer
// fits in a size_t; the request must be refused, not wrapped to a short block.
// Elsewhere the test is skipped.
TEST(MemReAlloc, At32BitsRefusesSizesItCannotRepresent) {
    // Decided at compile time: MSVC's /W4 takes a plain if on sizeof for a
    // mistake (C4127, a constant condition).
    if constexpr (sizeof(size_t) > sizeof(uint32_t)) {
        GTEST_SKIP() << "only 32-bit builds: sizes near 2^32 fit a 64-bit size_t";
    } else {
        auto *block = static_cast<unsigned char *>(MemAlloc(64));
        ASSERT_NE(nullptr, block);
        std::memset(block, 0x3C, 64);
        for (uint32_t below = 1; below <= 16; below++) {
            const uint32_t size = static_cast<uint32_t>(UINT32_MAX - below + 1);
            EXPECT_EQ(nullptr, MemAlloc(size)) << size;
            EXPECT_EQ(nullptr, MemReAlloc(block, size)) << size;
            EXPECT_EQ(64, std::count(block, block + 64, 0x3C)) << size;
            ListHandle handle = nullptr;
            EXPECT_EQ(0, ListCreate(&handle, CompareKeys, RecordVisit, 1,
                                    static_cast<uint32_t>(size - sizeof(ListBlock)), 0))
                << size;
            EXPECT_EQ(nullptr, handle) << size;
        }
        EXPECT_NE(0, MemFree(block));
    }
}

// Moves inside a 16-byte area holding 1..16: the bytes moved, every byte they
// vacated cleared, and no heap call on the way.
TEST(MoveClear, MovesAndClearsWhatTheMoveVacated) {
    struct Case {
        const char *Name;
        size_t To, From;
        uint32_t Length;
        unsigned char Expected[16];
    };
    const Case cases[] = {
        {"down, overlapping", 0, 4, 12, {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 0, 0, 0, 0}},
        {"up, overlapping", 4, 0, 12, {0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {"down, disjoint", 0, 8, 8, {9, 10, 11, 12, 13, 14, 15, 16, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"up, disjoint", 8, 0, 8, {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"onto itself", 0, 0, 16, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
        {"nothing", 0, 8, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
    };
    for (const Case &move : cases) {
        SCOPED_TRACE(move.Name);
        unsigned char bytes[16];
        std::iota(bytes, bytes + 16, 1);
        TestHeap heap;
        MemMoveClear(bytes + move.To, bytes + move.From, move.Length);
        EXPECT_EQ(0u, heap.Calls());
        EXPECT_EQ(0, std::memcmp(move.Expected, bytes, 16));
    }
}

} // namespace
