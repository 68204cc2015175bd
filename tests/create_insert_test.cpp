// Creation, insertion with growth, and destruction.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <vector>

#include "helpers.h"
#include <slot_list/slot_list.h>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

using namespace testing_support;

namespace {

constexpr uint32_t Header = sizeof(ListBlock);

// The whole header of a new list, a hole limit of 0 included.
TEST(ListCreate, FillsTheHeaderOfAnEmptyList) {
    for (uint32_t holeLimit : {1u, 0u}) {
        ListHandle handle = MakeList(2, 128, holeLimit);
        ASSERT_NE(nullptr, handle);
        ASSERT_NE(nullptr, handle->Lock);
        const ListBlock expected = {CompareKeys, RecordVisit, Header + 2 * 128, 0,           2, 128,
                                    0,           holeLimit,   nullptr,          handle->Lock};
        EXPECT_EQ(0, std::memcmp(&expected, handle, sizeof expected)) << holeLimit;
        EXPECT_NE(0, ListDestroy(&handle));
        EXPECT_EQ(nullptr, handle);
    }
}

int MatchAll(const void *, uint32_t, void *) {
    ADD_FAILURE() << "match called";
    return 1;
}

int OrderAny(const void *, const void *, void *) {
    ADD_FAILURE() << "order called";
    return 0;
}

// Every call refuses a missing handle, an empty one (a destroyed list's) and
// a missing argument, and ListCreate sizes that no block can have: it returns
// 0 (or nothing), and changes neither the list, the handles nor a position,
// calls nothing back and asks the heap for nothing.
TEST(BadArguments, AreRefusedWithNothingChanged) {
    TestHeap heap;
    ListHandle handle = MakeList(4, 16, 1);
    InsertKeys(&handle, {1, 2, 3});
    ASSERT_EQ(1, DeleteKey(&handle, 2));
    ListHandle none = nullptr;
    std::vector<unsigned char> element = Element(16, 3);
    const void *key = element.data();
    uint32_t position = 1;
    const std::pair<const char *, std::function<bool()>> calls[] = {
        {"ListCreate, no handle",
         [&] { return ListCreate(nullptr, CompareKeys, RecordVisit, 2, 8, 1); }},
        {"ListCreate, no compare",
         [&] { return ListCreate(&handle, nullptr, RecordVisit, 2, 8, 1); }},
        {"ListCreate, no visit",
         [&] { return ListCreate(&handle, CompareKeys, nullptr, 2, 8, 1); }},
        {"ListCreate, growBy 0",
         [&] { return ListCreate(&handle, CompareKeys, RecordVisit, 0, 8, 1); }},
        {"ListCreate, size 0",
         [&] { return ListCreate(&handle, CompareKeys, RecordVisit, 2, 0, 1); }},
        // growBy * elementSize is 2^32.
        {"ListCreate, product 2^32",
         [&] { return ListCreate(&handle, CompareKeys, RecordVisit, 65536, 65536, 1); }},
        // The product fits; adding the header does not.
        {"ListCreate, size past 32 bits",
         [&] { return ListCreate(&handle, CompareKeys, RecordVisit, 1, UINT32_MAX - 8, 1); }},
        {"ListCreate, largest product",
         [&] { return ListCreate(&handle, CompareKeys, RecordVisit, UINT32_MAX, UINT32_MAX, 1); }},
        {"ListDestroy, no handle", [&] { return ListDestroy(nullptr); }},
        {"ListDestroy, empty", [&] { return ListDestroy(&none); }},
        {"ListInsert, no handle", [&] { return ListInsert(nullptr, key); }},
        {"ListInsert, empty", [&] { return ListInsert(&none, key); }},
        {"ListInsert, no element", [&] { return ListInsert(&handle, nullptr); }},
        {"ListInsertMany, no handle", [&] { return ListInsertMany(nullptr, key, 1); }},
        {"ListInsertMany, empty", [&] { return ListInsertMany(&none, key, 1); }},
        {"ListInsertMany, no elements", [&] { return ListInsertMany(&handle, nullptr, 3); }},
        {"ListReserve, no handle", [&] { return ListReserve(nullptr, 3); }},
        {"ListReserve, empty", [&] { return ListReserve(&none, 3); }},
        {"ListDelete, no handle", [&] { return ListDelete(nullptr, key); }},
        {"ListDelete, empty", [&] { return ListDelete(&none, key); }},
        {"ListDelete, no key", [&] { return ListDelete(&handle, nullptr); }},
        {"ListDeleteAt, no handle", [&] { return ListDeleteAt(nullptr, &position); }},
        {"ListDeleteAt, empty", [&] { return ListDeleteAt(&none, &position); }},
        {"ListDeleteAt, no position", [&] { return ListDeleteAt(&handle, nullptr); }},
        {"ListDeleteIf, no handle", [&] { return ListDeleteIf(nullptr, MatchAll, nullptr); }},
        {"ListDeleteIf, empty", [&] { return ListDeleteIf(&none, MatchAll, nullptr); }},
        {"ListDeleteIf, no match", [&] { return ListDeleteIf(&handle, nullptr, nullptr); }},
        {"ListTraverse, no handle", [&] { return ListTraverse(nullptr), false; }},
        {"ListTraverse, empty", [&] { return ListTraverse(&none), false; }},
        {"ListFind, no handle", [&] { return ListFind(nullptr, key) != nullptr; }},
        {"ListFind, empty", [&] { return ListFind(&none, key) != nullptr; }},
        {"ListFind, no key", [&] { return ListFind(&handle, nullptr) != nullptr; }},
        {"ListNext, no handle", [&] { return ListNext(nullptr, &position) != nullptr; }},
        {"ListNext, empty", [&] { return ListNext(&none, &position) != nullptr; }},
        {"ListNext, no position", [&] { return ListNext(&handle, nullptr) != nullptr; }},
        {"ListSize, no handle", [&] { return ListSize(nullptr); }},
        {"ListSize, empty", [&] { return ListSize(&none); }},
        {"ListClear, no handle", [&] { return ListClear(nullptr); }},
        {"ListClear, empty", [&] { return ListClear(&none); }},
        {"ListCompact, no handle", [&] { return ListCompact(nullptr); }},
        {"ListCompact, empty", [&] { return ListCompact(&none); }},
        {"ListSort, no handle", [&] { return ListSort(nullptr, OrderAny, nullptr); }},
        {"ListSort, empty", [&] { return ListSort(&none, OrderAny, nullptr); }},
        {"ListSort, no order", [&] { return ListSort(&handle, nullptr, nullptr); }},
    };
    const ListHandle was = handle;
    const std::vector<unsigned char> bytes = Snapshot(handle);
    const uint64_t heapCalls = heap.Calls();
    Visits.clear();
    Compared.clear();
    for (const auto &[name, call] : calls) {
        EXPECT_FALSE(call()) << name;
        EXPECT_EQ(was, handle) << name;
        EXPECT_EQ(nullptr, none) << name;
        EXPECT_EQ(1u, position) << name;
        EXPECT_EQ(bytes, Snapshot(handle)) << name;
        EXPECT_EQ(heapCalls, heap.Calls()) << name;
        EXPECT_TRUE(Visits.empty()) << name;
        EXPECT_TRUE(Compared.empty()) << name;
    }
    EXPECT_NE(0, ListDestroy(&handle));
}

// Capacity after each of the first inserts, for a growth step: the block grows
// whenever an insert would fill its last slot.
struct GrowthCase {
    uint32_t GrowBy;
    std::vector<uint32_t> Capacities;
    friend void PrintTo(const GrowthCase &growth, std::ostream *out) {
        *out << "GrowBy " << growth.GrowBy;
    }
};

class ListInsertGrowth : public ::testing::TestWithParam<GrowthCase> {};

TEST_P(ListInsertGrowth, GrowsBeforeTheLastSlotFills) {
    const GrowthCase &growth = GetParam();
    ListHandle handle = MakeList(growth.GrowBy, 128, 1);
    ASSERT_NE(nullptr, handle);
    EXPECT_EQ(growth.GrowBy, Capacity(handle));
    Keys keys;
    for (uint32_t i = 0; i < growth.Capacities.size(); i++) {
        keys.push_back(i + 1);
        InsertKeys(&handle, {i + 1});
        EXPECT_EQ(i + 1, handle->Count);
        EXPECT_EQ(growth.Capacities[i], Capacity(handle)) << "after insert " << i + 1;
        EXPECT_EQ(Header + Capacity(handle) * 128, handle->BlockSize);
        EXPECT_LT(handle->Count, Capacity(handle));
    }
    EXPECT_EQ(keys, SlotKeys(handle));
    EXPECT_NE(0, ListDestroy(&handle));
}

// Elements with keys first, first + 1, ... laid out one after another.
std::vector<unsigned char> Batch(uint32_t size, uint32_t first, uint32_t count) {
    std::vector<unsigned char> batch;
    for (uint32_t key = first; key < first + count; key++) {
        std::vector<unsigned char> element = Element(size, key);
        batch.insert(batch.end(), element.begin(), element.end());
    }
    return batch;
}

// A batch, or a reservation for it, ends where as many single inserts would,
// with one heap call at most; after the reservation the batch needs none.
TEST_P(ListInsertGrowth, ABatchEndsWhereSingleInsertsDoInOneGrowth) {
    const GrowthCase &growth = GetParam();
    const auto total = static_cast<uint32_t>(growth.Capacities.size());
    for (uint32_t singles : {0u, 1u}) {
        for (uint32_t count = 0; singles + count <= total; count++) {
            for (bool reserve : {false, true}) {
                SCOPED_TRACE(std::to_string(singles) + " single, then " + std::to_string(count) +
                             (reserve ? ", reserved" : ""));
                TestHeap heap;
                ListHandle handle = MakeList(growth.GrowBy, 128, 1);
                InsertKeys(&handle, singles == 1 ? Keys{1} : Keys{});
                uint32_t before = Capacity(handle);
                uint64_t calls = heap.Calls();
                if (reserve) {
                    ASSERT_EQ(1, ListReserve(&handle, count));
                }
                std::vector<unsigned char> batch = Batch(128, singles + 1, count);
                static const unsigned char none = 0;
                uint64_t reserved = heap.Calls();
                ASSERT_EQ(1, ListInsertMany(&handle, batch.empty() ? &none : batch.data(), count));
                EXPECT_EQ(reserved, reserve ? heap.Calls() : reserved);
                uint32_t inserted = singles + count;
                EXPECT_EQ(inserted == 0 ? growth.GrowBy : growth.Capacities[inserted - 1],
                          Capacity(handle));
                EXPECT_EQ(Capacity(handle) > before ? 1u : 0u, heap.Calls() - calls);
                EXPECT_EQ(KeyRange(1, inserted), SlotKeys(handle));
                EXPECT_NE(0, ListDestroy(&handle));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, ListInsertGrowth,
                         ::testing::Values(GrowthCase{1, {2, 3, 4, 5, 6}},
                                           GrowthCase{2, {2, 4, 4, 6, 6, 8}},
                                           GrowthCase{3, {3, 3, 6, 6, 6, 9}}),
                         [](const ::testing::TestParamInfo<GrowthCase> &info) {
                             return "GrowBy" + std::to_string(info.param.GrowBy);
                         });

// With one-byte elements a slot is a byte: the batch's growth still counts
// whole slots, and keeps the last one empty.
TEST(ListInsertMany, GrowsByWholeOneByteSlots) {
    ListHandle handle = MakeList(1, 1, 0);
    const unsigned char batch[] = {7, 8, 9};
    ASSERT_EQ(1, ListInsertMany(&handle, batch, 3));
    EXPECT_EQ(Header + 4, handle->BlockSize);
    EXPECT_EQ(0, std::memcmp(batch, SlotAt(handle, 0), 3));
    EXPECT_EQ(0, *SlotAt(handle, 3));
    // A one-byte element from the header, which the growth rewrites.
    const unsigned char first = *reinterpret_cast<unsigned char *>(&handle->BlockSize);
    ASSERT_EQ(1, ListInsert(&handle, &handle->BlockSize));
    EXPECT_EQ(first, *SlotAt(handle, 3));
    EXPECT_NE(0, ListDestroy(&handle));
}

// A copy of length bytes that ends where a page nobody may read begins, so
// that reading past it faults. The pages stay for the whole run.
const unsigned char *BeforeAnUnreadablePage(const unsigned char *bytes, size_t length) {
#ifdef _WIN32
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const size_t page = system.dwPageSize;
    static auto *pages = static_cast<unsigned char *>(
        VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD was;
    bool guarded = pages != nullptr && VirtualProtect(pages + page, page, PAGE_NOACCESS, &was);
#else
    const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    static void *mapped =
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    auto *pages = mapped == MAP_FAILED ? nullptr : static_cast<unsigned char *>(mapped);
    bool guarded = pages != nullptr && mprotect(pages + page, page, PROT_NONE) == 0;
#endif
    if (!guarded) {
        ADD_FAILURE() << "no unreadable page";
        return nullptr;
    }
    std::memcpy(pages + page - length, bytes, length);
    return pages + page - length;
}

// All or nothing: whatever refuses a batch, or a reservation, leaves every
// byte of the list, the handle and the lock as they were.
TEST(ListInsertMany, LeavesTheListAsItWasOnAnyRefusal) {
    struct Refusal {
        const char *Name;
        std::function<int(ListHandle *, TestHeap &, std::vector<unsigned char> &)> Call;
    };
    const Refusal refusals[] = {
        {"a single all-zero element",
         [](ListHandle *handle, TestHeap &, std::vector<unsigned char> &batch) {
             std::fill(batch.begin(), batch.begin() + 16, 0);
             return ListInsert(handle, batch.data());
         }},
        {"an all-zero element last",
         [](ListHandle *handle, TestHeap &, std::vector<unsigned char> &batch) {
             std::fill(batch.end() - 16, batch.end(), 0);
             return ListInsertMany(handle, batch.data(), 3);
         }},
        {"growth refused",
         [](ListHandle *handle, TestHeap &heap, std::vector<unsigned char> &batch) {
             heap.FailAt(1);
             return ListInsertMany(handle, batch.data(), 3);
         }},
        {"grown size past 32 bits",
         [](ListHandle *handle, TestHeap &, std::vector<unsigned char> &batch) {
             (*handle)->GrowBy = UINT32_MAX;
             int result = ListInsertMany(handle, batch.data(), 3);
             (*handle)->GrowBy = 4;
             return result;
         }},
        // The sizes are tested first: not one element past the first is read.
        {"2^32 - 1 elements",
         [](ListHandle *handle, TestHeap &, std::vector<unsigned char> &batch) {
             return ListInsertMany(handle, BeforeAnUnreadablePage(batch.data(), 16), UINT32_MAX);
         }},
        {"needed size past 32 bits",
         [](ListHandle *handle, TestHeap &, std::vector<unsigned char> &batch) {
             (*handle)->Count = UINT32_MAX - 2;
             int result = ListInsertMany(handle, batch.data(), 3);
             (*handle)->Count = 2;
             return result;
         }},
        {"reserve: growth refused",
         [](ListHandle *handle, TestHeap &heap, std::vector<unsigned char> &) {
             heap.FailAt(1);
             return ListReserve(handle, 3);
         }},
        {"reserve: 2^32 - 1 elements",
         [](ListHandle *handle, TestHeap &, std::vector<unsigned char> &) {
             return ListReserve(handle, UINT32_MAX);
         }},
        {"reserve: grown size past 32 bits",
         [](ListHandle *handle, TestHeap &, std::vector<unsigned char> &) {
             (*handle)->GrowBy = UINT32_MAX;
             int result = ListReserve(handle, 3);
             (*handle)->GrowBy = 4;
             return result;
         }},
    };
    for (const Refusal &refusal : refusals) {
        SCOPED_TRACE(refusal.Name);
        TestHeap heap;
        ListHandle handle = MakeList(4, 16, 1);
        InsertKeys(&handle, {1, 2});
        ListHandle before = handle;
        std::vector<unsigned char> bytes = Snapshot(handle);
        std::vector<unsigned char> batch = Batch(16, 3, 3);
        EXPECT_EQ(0, refusal.Call(&handle, heap, batch));
        heap.FailNone();
        EXPECT_EQ(before, handle);
        EXPECT_EQ(bytes, Snapshot(handle));
        EXPECT_TRUE(LockIsFree(handle->Lock));
        EXPECT_NE(0, ListDestroy(&handle));
    }
}

// The block moves on every growth here, so stale addresses would show.
TEST(ListInsert, CarriesFirstHoleOverAMove) {
    TestHeap heap;
    heap.MoveOnGrowth(true);
    ListHandle handle = MakeList(2, 32, 10);
    InsertKeys(&handle, {1, 2, 3});
    ASSERT_EQ(1, DeleteKey(&handle, 2));
    ListHandle before = handle;
    InsertKeys(&handle, {4}); // Count 3 + 1 fills capacity 4: grows
    ASSERT_NE(before, handle);
    EXPECT_EQ(SlotAt(handle, 1), handle->FirstHole);
    EXPECT_EQ((Keys{1, 0, 3, 4}), SlotKeys(handle));
    // The carried hole still steers compaction.
    handle->HoleLimit = 0;
    ASSERT_EQ(1, DeleteKey(&handle, 4));
    EXPECT_EQ((Keys{1, 3}), SlotKeys(handle));
    EXPECT_NE(0, ListDestroy(&handle));
    EXPECT_EQ(0u, heap.Outstanding());
}

// A run of slots copied from the list itself survives the growth moving them
// (one slot: the out-of-memory sweep's "insert own slot, moving").
TEST(ListInsert, CopiesFromItsOwnSlotsAcrossAMove) {
    TestHeap heap;
    heap.MoveOnGrowth(true);
    ListHandle handle = MakeList(2, 32, 1);
    InsertKeys(&handle, {5, 5});
    ListHandle before = handle;
    ASSERT_EQ(1, ListInsertMany(&handle, SlotAt(handle, 0), 2)); // grows again
    ASSERT_NE(before, handle);
    EXPECT_EQ((Keys{5, 5, 5, 5}), SlotKeys(handle));
    // The header's bytes too, as they were at the call, though the growth
    // rewrites BlockSize: one element, then a batch reaching into the slots.
    InsertKeys(&handle, {6});
    std::vector<unsigned char> bytes = Snapshot(handle);
    before = handle;
    ASSERT_EQ(1, ListInsert(&handle, handle)); // grows and moves once more
    ASSERT_NE(before, handle);
    EXPECT_EQ(0, std::memcmp(bytes.data(), SlotAt(handle, 5), 32));
    bytes = Snapshot(handle);
    ASSERT_EQ(1, ListInsertMany(&handle, &handle->BlockSize, 2)); // grows again
    EXPECT_EQ(0, std::memcmp(bytes.data() + offsetof(ListBlock, BlockSize), SlotAt(handle, 6), 64));
    // A batch from inside the slot area, longer than the header: none of it
    // is the header's.
    bytes = Snapshot(handle);
    ASSERT_EQ(1, ListInsertMany(&handle, SlotAt(handle, 1), 3)); // grows again
    EXPECT_EQ(0, std::memcmp(bytes.data() + sizeof(ListBlock) + 32, SlotAt(handle, 8), 96));
    EXPECT_NE(0, ListDestroy(&handle));
}

// A heap that leaves spare bytes after each block, which the block does not
// own, and whose growth always moves, keeping the old block (and whatever a
// test put after it) until the heap goes.
struct SpareRoomHeap {
    SpareRoomHeap() {
        ListGetHeap(&Inner);
        ListSetHeap(&Methods);
    }
    ~SpareRoomHeap() {
        ListSetHeap(nullptr);
        for (void *old : Left) {
            Inner.Free(old);
        }
        Left.clear();
    }
    static constexpr uint32_t Spare = 64;
    static void *Alloc(uint32_t size) { return Inner.Alloc(size + Spare); }
    static void *ReAlloc(void *block, uint32_t size) {
        void *moved = Inner.Alloc(size + Spare);
        if (moved != nullptr) {
            // The list sets the new size only once the growth has returned.
            std::memcpy(moved, block, static_cast<ListBlock *>(block)->BlockSize);
            Left.push_back(block);
        }
        return moved;
    }
    static int Free(void *block) { return Inner.Free(block); }
    static inline ListHeapMethods Inner;
    static inline std::vector<void *> Left;
    static constexpr ListHeapMethods Methods = {Alloc, ReAlloc, Free};
};

// An element just past the end of the block, in bytes the block does not own,
// is read where it lies, not as if it had moved with the block.
TEST(ListInsert, ReadsAnElementJustPastTheBlockWhereItLies) {
    SpareRoomHeap spare;
    ListHandle handle = MakeList(1, 16, 0);
    auto *past = reinterpret_cast<unsigned char *>(handle) + handle->BlockSize;
    std::vector<unsigned char> element = Element(16, 5);
    std::memcpy(past, element.data(), 16);
    ListHandle before = handle;
    ASSERT_EQ(1, ListInsert(&handle, past)); // grows and moves
    ASSERT_NE(before, handle);
    EXPECT_EQ((Keys{5}), SlotKeys(handle));
    EXPECT_NE(0, ListDestroy(&handle));
}

// A heap that hands out a small real block whatever size is asked, so that a
// list can claim a huge ElementSize without the memory behind it. Behind the
// lists for its lifetime.
struct SmallBlockHeap {
    SmallBlockHeap() {
        ListGetHeap(&Inner);
        ListSetHeap(&Methods);
    }
    ~SmallBlockHeap() { ListSetHeap(nullptr); }
    static void *Alloc(uint32_t size) {
        Asked = size;
        return Inner.Alloc(256);
    }
    static void *ReAlloc(void *block, uint32_t size) { return Inner.ReAlloc(block, size); }
    static int Free(void *block) { return Inner.Free(block); }
    static inline ListHeapMethods Inner;
    static inline uint32_t Asked = 0; // the size of the last Alloc
    static constexpr ListHeapMethods Methods = {Alloc, ReAlloc, Free};
};

TEST(ListInsert, RefusesAGrowthWhoseSizeOverflows) {
    SmallBlockHeap small;
    ListHandle handle = nullptr;
    // One slot of 2^31 bytes: the first insert must grow to 2^32 + header.
    ASSERT_EQ(1, ListCreate(&handle, CompareKeys, RecordVisit, 1, 1u << 31, 0));
    const ListBlock header = *handle;
    static unsigned char element[4096] = {1}; // only its start can be read
    EXPECT_EQ(0, ListInsert(&handle, element));
    EXPECT_EQ(0, std::memcmp(&header, handle, sizeof header));
    EXPECT_NE(0, ListDestroy(&handle));
}

// The scratch block is 8 + ElementSize bytes per live element, holes not
// counted; one whose size does not fit in 32 bits is refused before it is
// asked for, the list as it was. The second header claims 30000 elements in
// slots with nothing behind them, which a refused sort never reads.
TEST(ListSort, SizesItsScratchByTheLiveElementsAndRefusesOneThatOverflows) {
    SmallBlockHeap small;
    ListHandle handle = MakeList(8, 16, 5);
    InsertKeys(&handle, {4, 1, 3, 2});
    ASSERT_EQ(1, DeleteKey(&handle, 1));
    ASSERT_EQ(1, ListSort(&handle, OrderByKey, nullptr));
    EXPECT_EQ(3u * (8 + 16), SmallBlockHeap::Asked);
    EXPECT_EQ((Keys{2, 3, 4}), SlotKeys(handle));
    EXPECT_NE(0, ListDestroy(&handle));

    const uint32_t slots = 30001;
    ASSERT_EQ(
        1, ListCreate(&handle, CompareKeys, RecordVisit, slots, (UINT32_MAX - Header) / slots, 0));
    handle->Count = slots - 1;
    const ListBlock header = *handle;
    SmallBlockHeap::Asked = 0;
    EXPECT_EQ(0, ListSort(&handle, OrderByKey, nullptr));
    EXPECT_EQ(0u, SmallBlockHeap::Asked);
    EXPECT_EQ(0, std::memcmp(&header, handle, sizeof header));
    handle->Count = 0;
    EXPECT_NE(0, ListDestroy(&handle));
}

// The largest block there is: exactly 2^32 - 1 bytes, header included.
TEST(ListCreate, AcceptsABlockOfExactly2To32Minus1Bytes) {
    SmallBlockHeap small;
    ListHandle handle = nullptr;
    EXPECT_EQ(0, ListCreate(&handle, CompareKeys, RecordVisit, 1, UINT32_MAX - Header + 1, 0));
    ASSERT_EQ(1, ListCreate(&handle, CompareKeys, RecordVisit, 1, UINT32_MAX - Header, 0));
    EXPECT_EQ(UINT32_MAX, handle->BlockSize);
    EXPECT_NE(0, ListDestroy(&handle));
}

bool SameHeap(const ListHeapMethods &a, const ListHeapMethods &b) {
    return a.Alloc == b.Alloc && a.ReAlloc == b.ReAlloc && a.Free == b.Free;
}

TEST(ListSetHeap, TakesAWholeHeapOnlyAndNullBringsBackTheLibrarys) {
    ListHeapMethods own;
    ListGetHeap(&own);
    ListGetHeap(nullptr);
    const ListHeapMethods &small = SmallBlockHeap::Methods;
    const ListHeapMethods partial[] = {{nullptr, small.ReAlloc, small.Free},
                                       {small.Alloc, nullptr, small.Free},
                                       {small.Alloc, small.ReAlloc, nullptr}};
    for (const ListHeapMethods &heap : partial) {
        EXPECT_EQ(0, ListSetHeap(&heap));
        ListHeapMethods now;
        ListGetHeap(&now);
        EXPECT_TRUE(SameHeap(own, now)) << &heap - partial;
    }
    ListGetHeap(&SmallBlockHeap::Inner);
    ASSERT_EQ(1, ListSetHeap(&small));
    ListHeapMethods now;
    ListGetHeap(&now);
    EXPECT_TRUE(SameHeap(small, now));
    EXPECT_EQ(1, ListSetHeap(nullptr));
    ListGetHeap(&now);
    EXPECT_TRUE(SameHeap(own, now));
}

} // namespace
