// The heap primitives and the overlap-safe clearing move.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include "helpers.h"
#include "mem.h"
#include "platform/platform.h"

using namespace testing_support;
using namespace slot_list::internal;

namespace {

bool AllZero(const void *bytes, size_t length) {
    const auto *p = static_cast<const unsigned char *>(bytes);
    return std::all_of(p, p + length, [](unsigned char byte) { return byte == 0; });
}

TEST(MemAlloc, RefusesZeroWithoutCallingTheHeap) {
    TestHeap heap;
    EXPECT_EQ(nullptr, MemAlloc(0));
    EXPECT_EQ(0u, heap.Calls());
}

TEST(MemAlloc, GivesZeroFilledBlocks) {
    for (uint32_t size : {1u, 7u, 128u, 4096u, 1u << 20}) {
        auto *block = static_cast<unsigned char *>(MemAlloc(size));
        ASSERT_NE(nullptr, block);
        EXPECT_TRUE(AllZero(block, size)) << size;
        block[size - 1] = 1;
        EXPECT_NE(0, MemFree(block));
    }
}

TEST(MemReAlloc, RefusesNullBlockAndZeroSize) {
    TestHeap heap;
    EXPECT_EQ(nullptr, MemReAlloc(nullptr, 16));
    auto *block = static_cast<unsigned char *>(MemAlloc(16));
    ASSERT_NE(nullptr, block);
    std::memset(block, 0x5A, 16);
    EXPECT_EQ(nullptr, MemReAlloc(block, 0));
    EXPECT_EQ(1u, heap.Calls()); // the refusals never reached the heap
    EXPECT_EQ(16, std::count(block, block + 16, 0x5A));
    EXPECT_NE(0, MemFree(block));
    EXPECT_EQ(0u, heap.Outstanding());
}

// Shrinking leaves the old bytes in the heap's memory; growing again in place
// must not bring them back.
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
    // Growth that must move keeps the contents and zeroes the rest.
    block = static_cast<unsigned char *>(MemReAlloc(block, 1u << 22));
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(8, std::count(block, block + 8, 0xFF));
    EXPECT_TRUE(AllZero(block + 8, (1u << 22) - 8));
    // The same in a block with pages of its own, whose shrink keeps the
    // pages: grown within its reservation, then past it.
    for (uint32_t size : {(1u << 22) + (1u << 21), 1u << 24}) {
        block = static_cast<unsigned char *>(MemReAlloc(block, size));
        ASSERT_NE(nullptr, block);
        std::memset(block, 0xFF, size);
        block = static_cast<unsigned char *>(MemReAlloc(block, 8));
        ASSERT_NE(nullptr, block);
        block = static_cast<unsigned char *>(MemReAlloc(block, size));
        ASSERT_NE(nullptr, block);
        EXPECT_EQ(8, std::count(block, block + 8, 0xFF));
        EXPECT_TRUE(AllZero(block + 8, size - 8)) << size;
    }
    EXPECT_NE(0, MemFree(block));
}

// Released large blocks' pages are kept and handed out again: whatever the
// last user left reads as zero, now and as the block grows; a kept block never
// serves a request larger than its reservation; a block of the same size
// needs no system call; and lowering the limit gives kept pages back. With the
// system's own calls, and with pages committed as needed as on Windows.
TEST(KeptPages, AreClearedReusedAndGivenBack) {
    constexpr uint32_t Small = 128u << 10, Medium = 512u << 10, Large = 4u << 20;
    for (bool committing : {false, true}) {
        SCOPED_TRACE(committing ? "committing as needed" : "the system's calls");
        TestHeap heap;
        if (committing) {
            heap.CommitAsNeeded();
        }
        PlatHeapSetCacheLimit(PlatHeapDefaultCacheLimit);
        auto *block = static_cast<unsigned char *>(MemAlloc(Small));
        ASSERT_NE(nullptr, block);
        std::memset(block, 0xEE, Small);
        EXPECT_NE(0, MemFree(block));
        block = static_cast<unsigned char *>(MemAlloc(Large));
        ASSERT_NE(nullptr, block);
        EXPECT_TRUE(AllZero(block, Large));
        std::memset(block, 0xEE, Large);
        EXPECT_NE(0, MemFree(block));

        uint64_t calls = heap.SystemCalls();
        block = static_cast<unsigned char *>(MemAlloc(Medium));
        ASSERT_NE(nullptr, block);
        EXPECT_EQ(calls, heap.SystemCalls()) << "a kept block serves it";
        EXPECT_TRUE(AllZero(block, Medium));
        block = static_cast<unsigned char *>(MemReAlloc(block, Large));
        ASSERT_NE(nullptr, block);
        EXPECT_TRUE(AllZero(block, Large));

        // The first block's pages again, past what they held before: those
        // bytes too read as zero when a growth brings them back after a shrink.
        // Where pages are committed, a refused commit gives the kept block
        // back and a fresh reservation serves instead.
        if (committing) {
            heap.FailSystemAt(1);
        }
        auto *again = static_cast<unsigned char *>(MemAlloc(Small + Small / 2));
        ASSERT_NE(nullptr, again);
        EXPECT_EQ(committing ? 1u : 0u, heap.SystemFailures());
        EXPECT_EQ(2u, heap.OutstandingMappings());
        std::memset(again, 0x44, Small + Small / 2);
        again = static_cast<unsigned char *>(MemReAlloc(again, 8));
        ASSERT_NE(nullptr, again);
        again = static_cast<unsigned char *>(MemReAlloc(again, Small + Small / 2));
        ASSERT_NE(nullptr, again);
        EXPECT_TRUE(AllZero(again + 8, Small + Small / 2 - 8));
        EXPECT_NE(0, MemFree(again));

        // More released blocks than are kept, then as many again.
        std::vector<void *> many(24);
        for (int round = 0; round < 2; round++) {
            for (void *&each : many) {
                each = MemAlloc(Small);
                ASSERT_NE(nullptr, each);
                EXPECT_TRUE(AllZero(each, Small));
                std::memset(each, 0x22, Small);
            }
            for (void *each : many) {
                EXPECT_NE(0, MemFree(each));
            }
        }
        EXPECT_NE(0, MemFree(block));
        PlatHeapSetCacheLimit(0);
        EXPECT_EQ(0u, heap.OutstandingMappings()) << "kept pages given back";

        // The limit counts touched pages: 512 KiB kept, then 768 KiB over
        // a 1 MiB limit given back at once.
        PlatHeapSetCacheLimit(1u << 20);
        void *kept = MemAlloc(Medium);
        void *over = MemAlloc(Medium + Medium / 2);
        ASSERT_NE(nullptr, kept);
        ASSERT_NE(nullptr, over);
        std::memset(kept, 0x33, Medium);
        std::memset(over, 0x33, Medium + Medium / 2);
        EXPECT_NE(0, MemFree(kept));
        EXPECT_NE(0, MemFree(over));
        EXPECT_EQ(1u, heap.OutstandingMappings());
        EXPECT_EQ(0u, heap.Outstanding());
    }
}

// Many small growths of a large block: contents kept, growth zero, the bytes
// copied to move it within a constant times its size (the C heap would copy
// the whole block at each move), and the system called on few growths only,
// with the system's calls and with pages committed as needed.
TEST(MemReAlloc, LargeBlockGrowthCopiesBoundedBytes) {
    constexpr uint32_t Step = 8192, Final = 8u << 20;
    for (bool committing : {false, true}) {
        SCOPED_TRACE(committing ? "committing as needed" : "the system's calls");
        TestHeap heap;
        if (committing) {
            heap.CommitAsNeeded();
        }
        auto *block = static_cast<unsigned char *>(MemAlloc(Step));
        ASSERT_NE(nullptr, block);
        uint64_t copiedBefore = PlatHeapBytesCopied();
        for (uint32_t size = Step; size < Final; size += Step) {
            block[size - 1] = static_cast<unsigned char>(size / Step);
            block = static_cast<unsigned char *>(MemReAlloc(block, size + Step));
            ASSERT_NE(nullptr, block) << size;
            ASSERT_TRUE(AllZero(block + size, Step)) << size;
        }
        for (uint32_t size = Step; size < Final; size += Step) {
            ASSERT_EQ(static_cast<unsigned char>(size / Step), block[size - 1]) << size;
        }
        // The move out of the C heap is counted; nothing near a copy per growth.
        uint64_t copied = PlatHeapBytesCopied() - copiedBefore;
        EXPECT_GE(copied, PlatHeapDefaultMapThreshold / 2);
        EXPECT_LE(copied, 2 * uint64_t{Final});
        // Reservations and commits run ahead geometrically: 1023 growths, a
        // few dozen system calls at most.
        EXPECT_LE(heap.SystemCalls(), 64u);
        EXPECT_NE(0, MemFree(block));
        // Whatever its size, a block is committed to its last byte (the test
        // heap checks every block it hands out): one of these sizes, with
        // the heap's prefix, ends just past a page.
        for (uint32_t size = (16u << 12) - 64; size < (16u << 12) + 64; size++) {
            block = static_cast<unsigned char *>(MemAlloc(size));
            ASSERT_NE(nullptr, block) << size;
            EXPECT_NE(0, MemFree(block));
        }
    }
}

TEST(MemReAlloc, FailureLeavesTheBlockValid) {
    TestHeap heap;
    auto *block = static_cast<unsigned char *>(MemAlloc(32));
    ASSERT_NE(nullptr, block);
    std::memset(block, 0x11, 32);
    heap.FailAt(1);
    EXPECT_EQ(nullptr, MemReAlloc(block, 64));
    EXPECT_EQ(32, std::count(block, block + 32, 0x11));
    EXPECT_NE(0, MemFree(block));
    EXPECT_EQ(0u, heap.Outstanding());
}

// At 32 bits the heap's own bookkeeping on top of a size near 2^32 no longer
// fits in a size_t; the request must be refused, not wrapped to a short block.
TEST(PlatformHeap, RefusesSizesItCannotRepresent) {
    if (sizeof(size_t) > sizeof(uint32_t)) {
        GTEST_SKIP() << "sizes near 2^32 fit a 64-bit size_t";
    }
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

TEST(MemFree, PassesNullToTheHeap) {
    TestHeap heap;
    EXPECT_NE(0, MemFree(nullptr));
    EXPECT_EQ(1u, heap.Calls());
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
        ASSERT_EQ(1, MemMoveClear(bytes + move.To, bytes + move.From, move.Length));
        EXPECT_EQ(0u, heap.Calls());
        EXPECT_EQ(0, std::memcmp(move.Expected, bytes, 16));
    }
}

} // namespace
