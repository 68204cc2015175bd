// The C++ interface: List and SharedList through one typed suite, the default
// bytewise equality, and SharedList under eight threads at once; and the
// version calls, which this binary reaches through the library as built, so
// that a shared build checks that they are exported.

#include <slot_list/slot_list.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

struct Item {
    uint32_t key;
    uint32_t value;
};

struct SameKey {
    bool operator()(const Item &a, const Item &b) const noexcept { return a.key == b.key; }
};

using Pairs = std::vector<std::pair<uint32_t, uint32_t>>;

template <typename L>
Pairs Contents(const L &list) {
    Pairs pairs;
    list.for_each([&](const Item &item) { pairs.emplace_back(item.key, item.value); });
    return pairs;
}

} // namespace

// The two kinds of list the typed suite runs on, each by a name of its own at
// global scope, which the tests' names then carry (ListTest.Name<List>) in
// place of the whole template.
struct List {
    using Type = slot_list::List<Item, SameKey>;
};
struct SharedList {
    using Type = slot_list::SharedList<Item, SameKey>;
};

namespace {

template <typename Kind>
class ListTest : public testing::Test {};
using ListKinds = testing::Types<List, SharedList>;
// The empty argument keeps Clang's -Wgnu-zero-variadic-macro-arguments quiet.
TYPED_TEST_SUITE(ListTest, ListKinds, );

// What the wrapper adds to the C calls: std::optional from create, a hole
// limit of 0 by default, a range insert (an empty one included), find as a
// pointer or a copy, and the counts.
TYPED_TEST(ListTest, CreateInsertFindEraseAndTheCounts) {
    using L = typename TypeParam::Type;
    EXPECT_FALSE(L::create(0, 1));
    auto list = L::create(2);
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->empty());
    EXPECT_EQ(2u, list->capacity());
    const Item batch[] = {{1, 10}, {2, 20}, {9, 90}};
    EXPECT_TRUE(list->insert(nullptr, nullptr));
    ASSERT_TRUE(list->insert(std::begin(batch), std::begin(batch) + 2));
    ASSERT_TRUE(list->insert({3, 30}));
    EXPECT_EQ(4u, list->capacity());
    EXPECT_EQ(3u, list->size());
    EXPECT_FALSE(list->empty());
    EXPECT_EQ((Pairs{{1, 10}, {2, 20}, {3, 30}}), Contents(*list));
    auto found = list->find({2, 0});
    ASSERT_TRUE(found);
    EXPECT_EQ(20u, found->value);
    EXPECT_FALSE(list->find({9, 0}));

    EXPECT_TRUE(list->erase({1, 0}));
    EXPECT_FALSE(list->erase({9, 0}));
    EXPECT_EQ(0u, list->holes()); // compacted at once
    EXPECT_EQ((Pairs{{2, 20}, {3, 30}}), Contents(*list));
}

// erase_if, as a member and as the free function, clear and compact; holes()
// counts what the erases left.
TYPED_TEST(ListTest, EraseIfClearAndCompact) {
    using L = typename TypeParam::Type;
    auto list = L::create(4, 2);
    ASSERT_TRUE(list);
    for (uint32_t key = 1; key <= 6; key++) {
        ASSERT_TRUE(list->insert({key, key * 10}));
    }
    EXPECT_EQ(2u, list->erase_if([](const Item &item) { return item.key < 3; }));
    EXPECT_EQ(2u, list->holes());
    EXPECT_EQ(1u, slot_list::erase_if(*list, [](const Item &item) { return item.key == 6; }));
    EXPECT_EQ(0u, list->holes()); // the third hole is over the limit
    EXPECT_EQ((Pairs{{3, 30}, {4, 40}, {5, 50}}), Contents(*list));
    ASSERT_TRUE(list->erase({4, 0}));
    EXPECT_EQ(1u, list->holes());
    list->compact();
    EXPECT_EQ(0u, list->holes());
    EXPECT_EQ((Pairs{{3, 30}, {5, 50}}), Contents(*list));
    list->clear();
    EXPECT_TRUE(list->empty());
    EXPECT_TRUE(Contents(*list).empty());
}

// A moved-from list is empty and refuses everything; assigning a list over a
// live one destroys that one (a leak shows under ASan).
TYPED_TEST(ListTest, MoveLeavesSourceEmpty) {
    using L = typename TypeParam::Type;
    auto list = L::create(2, 1);
    ASSERT_TRUE(list);
    ASSERT_TRUE(list->insert({7, 70}));
    ASSERT_TRUE(list->insert({8, 80}));
    ASSERT_TRUE(list->erase({8, 0}));
    L moved(std::move(*list));
    EXPECT_EQ((Pairs{{7, 70}}), Contents(moved));
    EXPECT_EQ(1u, moved.holes());
    EXPECT_EQ(0u, list->size());
    EXPECT_EQ(0u, list->holes());
    EXPECT_EQ(0u, list->capacity());
    EXPECT_FALSE(list->insert({8, 80}));
    EXPECT_FALSE(list->insert(nullptr, nullptr));
    EXPECT_FALSE(list->find({7, 0}));
    EXPECT_TRUE(Contents(*list).empty());
    EXPECT_TRUE(list->empty());
    EXPECT_EQ(0u, list->erase_if([](const Item &) { return true; }));
    EXPECT_FALSE(list->copy());
    EXPECT_FALSE(list->reserve(1));
    EXPECT_FALSE(list->sort([](const Item &, const Item &) { return false; }));
    list->clear();
    list->compact();

    *list = std::move(moved);
    EXPECT_EQ((Pairs{{7, 70}}), Contents(*list));
    auto other = L::create(2, 0);
    ASSERT_TRUE(other && other->insert({5, 50}));
    *list = std::move(*other);
    EXPECT_EQ((Pairs{{5, 50}}), Contents(*list));
}

// copy keeps the growth step, the hole limit and the order, without the
// holes; sort is stable through its less adapter; reserve refuses a count
// past 32 bits.
TYPED_TEST(ListTest, CopySortAndReserve) {
    using L = typename TypeParam::Type;
    auto list = L::create(4, 100);
    ASSERT_TRUE(list);
    uint32_t n = 0;
    for (uint32_t key : {5, 3, 9, 3, 7, 1}) {
        ASSERT_TRUE(list->insert({key, key * 10 + n++}));
    }
    ASSERT_TRUE(list->erase({9, 0}));
    std::optional<L> twin = list->copy();
    ASSERT_TRUE(twin);
    EXPECT_EQ(Contents(*list), Contents(*twin));
    EXPECT_EQ(0u, twin->holes());
    EXPECT_EQ(8u, twin->capacity());
    ASSERT_TRUE(twin->insert({2, 2}));
    EXPECT_EQ(5u, list->size());

    EXPECT_TRUE(list->sort([](const Item &a, const Item &b) { return a.key < b.key; }));
    EXPECT_EQ((Pairs{{1, 15}, {3, 31}, {3, 33}, {5, 50}, {7, 74}}), Contents(*list));
    EXPECT_EQ(0u, list->holes());

    EXPECT_TRUE(list->reserve(6));
    EXPECT_EQ(12u, list->capacity());
    EXPECT_FALSE(list->reserve(SIZE_MAX));
    EXPECT_EQ(12u, list->capacity());
}

// Equality is bytewise by default. The walk that erases as it goes visits
// every element once, although the compactions renumber the slots under it;
// elements change in place.
TEST(ListDefaults, EqualityIsBytewiseAndEraseAtAnIteratorGoesOn) {
    auto list = slot_list::List<Item>::create(4, 2);
    ASSERT_TRUE(list);
    std::vector<uint32_t> all;
    for (uint32_t key = 1; key <= 30; key++) {
        ASSERT_TRUE(list->insert({key, key}));
        all.push_back(key);
    }
    EXPECT_FALSE(list->find({1, 2}));
    EXPECT_FALSE(list->erase({2, 3}));
    auto second = list->begin();
    EXPECT_EQ(1u, (second++)->key);
    EXPECT_EQ(2u, second->key);
    std::vector<uint32_t> seen;
    for (auto it = list->begin(); it != list->end();) {
        seen.push_back(it->key);
        it = it->key % 3 == 0 ? list->erase(it) : std::next(it);
    }
    EXPECT_EQ(all, seen);
    EXPECT_EQ(20u, list->size());
    EXPECT_EQ(list->end(), list->erase(list->end()));

    for (Item &item : *list) {
        item.value += 100;
    }
    Item *found = list->find({4, 104});
    ASSERT_NE(nullptr, found);
    found->value = 7;
    const slot_list::List<Item> &view = *list;
    slot_list::List<Item>::const_iterator first = list->begin();
    EXPECT_TRUE(first == view.begin());
    EXPECT_EQ(101u, first->value);
    EXPECT_EQ(found, view.find({4, 7}));
}

// Iterators point into the block: they walk on after the list is moved,
// swapped or moved inside a growing vector of lists, and after inserts that
// do not grow the block.
TEST(ListDefaults, IteratorsOutliveAMoveOfTheList) {
    auto make = [](uint32_t first) {
        auto list = slot_list::List<Item>::create(8, 8);
        for (uint32_t key = first; key < first + 5; key++) {
            EXPECT_TRUE(list && list->insert({key, key}));
        }
        return std::move(*list);
    };
    auto keysFrom = [](slot_list::List<Item>::iterator it, slot_list::List<Item>::iterator end) {
        std::vector<uint32_t> keys;
        for (; it != end; ++it) {
            keys.push_back(it->key);
        }
        return keys;
    };
    slot_list::List<Item> a = make(1);
    auto it = std::next(a.begin());
    slot_list::List<Item> b = std::move(a);
    EXPECT_EQ((std::vector<uint32_t>{2, 3, 4, 5}), keysFrom(it, b.end()));
    EXPECT_EQ(a.end(), a.erase(a.begin()));

    slot_list::List<Item> c = make(11);
    auto fromC = c.begin();
    std::swap(b, c);
    ASSERT_TRUE(b.insert({16, 16}));
    EXPECT_EQ((std::vector<uint32_t>{11, 12, 13, 14, 15, 16}), keysFrom(fromC, b.end()));

    std::vector<slot_list::List<Item>> lists;
    lists.push_back(make(21));
    auto first = lists[0].begin();
    for (uint32_t i = 0; i < 40; i++) {
        lists.push_back(make(100 + i));
    }
    EXPECT_EQ((std::vector<uint32_t>{21, 22, 23, 24, 25}), keysFrom(first, lists[0].end()));
}

// Out of memory, copy gives nothing, its twin released (a leak shows under
// ASan).
TEST(ListDefaults, CopyFailsWholeWhenMemoryRunsOut) {
    auto list = slot_list::List<Item>::create(2);
    for (uint32_t key = 1; key <= 5; key++) {
        ASSERT_TRUE(list && list->insert({key, key}));
    }
    ListHeapMethods heap;
    ListGetHeap(&heap);
    ListHeapMethods refusing = heap;
    refusing.ReAlloc = [](void *, uint32_t) -> void * { return nullptr; };
    ASSERT_EQ(1, ListSetHeap(&refusing));
    EXPECT_FALSE(list->copy());
    ListSetHeap(&heap);
    EXPECT_EQ(5u, list->copy()->size());
}

// The inline walk tells holes from elements whose only non-zero byte is the
// last, for elements within a word (read whole) and past it (the first word,
// then the library's scan over runs of holes).
template <typename T>
class IteratorScan : public testing::Test {};
template <std::size_t N>
struct Bytes {
    unsigned char b[N];
};
using ScanSizes = testing::Types<Bytes<1>, Bytes<5>, Bytes<8>, Bytes<13>, Bytes<200>>;
TYPED_TEST_SUITE(IteratorScan, ScanSizes, );

TYPED_TEST(IteratorScan, SkipsRunsOfHoles) {
    auto list = slot_list::List<TypeParam>::create(16, 1000);
    ASSERT_TRUE(list);
    std::vector<unsigned> expected;
    for (unsigned key = 1; key <= 120; key++) {
        TypeParam element{};
        // Some elements have every byte alike, as a hole has.
        if (key % 5 == 0) {
            std::memset(element.b, static_cast<int>(key), sizeof element);
        }
        element.b[sizeof element - 1] = static_cast<unsigned char>(key);
        ASSERT_TRUE(list->insert(element));
        expected.push_back(key);
    }
    for (unsigned key = 1; key <= 120; key++) {
        if (key % 7 < 3 || (key >= 50 && key < 110) || key == 120) {
            ASSERT_EQ(
                1u, list->erase_if([key](const TypeParam &e) { return e.b[sizeof e - 1] == key; }));
            expected.erase(std::find(expected.begin(), expected.end(), key));
        }
    }
    std::vector<unsigned> keys;
    for (const TypeParam &element : *list) {
        keys.push_back(element.b[sizeof element - 1]);
    }
    EXPECT_EQ(expected, keys);
}

struct Sample {
    uint32_t a, b;
    double c;
};

} // namespace

// No padding: its bytes may be compared, though a double has two zeros.
template <>
struct slot_list::BytewiseComparable<Sample> : std::true_type {};

namespace {

TEST(ListDefaults, ATypeWithFloatingMembersMayOptInToBytewiseEquality) {
    static_assert(!std::has_unique_object_representations_v<Sample>);
    auto list = slot_list::List<Sample>::create(2);
    ASSERT_TRUE(list);
    ASSERT_TRUE(list->insert({1, 2, 0.5}));
    EXPECT_NE(nullptr, list->find({1, 2, 0.5}));
    EXPECT_EQ(nullptr, list->find({1, 2, -0.5}));
}

// Each thread owns a disjoint key range and keeps the contents it expects for
// it; toggles, finds and snapshots of the whole list run interleaved.
TEST(SharedListThreads, ConcurrentMixedOperationsKeepEveryThreadsElements) {
    constexpr uint32_t Threads = 8;
    constexpr uint32_t Operations = 25000;
    constexpr uint32_t KeysPerThread = 64;
    auto list = slot_list::SharedList<Item, SameKey>::create(4, 8);
    ASSERT_TRUE(list);

    std::vector<std::map<uint32_t, uint32_t>> expected(Threads);
    std::vector<uint32_t> mismatches(Threads, 0);
    std::vector<std::thread> threads;
    for (uint32_t t = 0; t < Threads; t++) {
        threads.emplace_back([&, t] {
            std::mt19937 random(t + 1);
            std::map<uint32_t, uint32_t> &mine = expected[t];
            uint32_t &bad = mismatches[t];
            const uint32_t base = (t + 1) << 16;
            for (uint32_t op = 1; op <= Operations; op++) {
                uint32_t choice = random() % 16;
                uint32_t key = base + random() % KeysPerThread;
                if (choice < 12) {
                    auto it = mine.find(key);
                    if (it == mine.end()) {
                        bad += !list->insert({key, op});
                        mine.emplace(key, op);
                    } else {
                        bad += !list->erase({key, 0});
                        mine.erase(it);
                    }
                } else if (choice < 15) {
                    auto found = list->find({key, 0});
                    auto it = mine.find(key);
                    bad +=
                        it == mine.end() ? found.has_value() : !found || found->value != it->second;
                } else if (op % 2 == 0) {
                    size_t own = 0;
                    list->for_each([&](const Item &item) { own += (item.key >> 16) == t + 1; });
                    bad += own != mine.size();
                } else {
                    // Reshaping the whole list keeps every thread's elements.
                    bad += !list->sort([](const Item &x, const Item &y) { return x.key < y.key; });
                    list->compact();
                }
            }
        });
    }
    for (std::thread &thread : threads) {
        thread.join();
    }

    std::map<uint32_t, uint32_t> all;
    for (uint32_t t = 0; t < Threads; t++) {
        EXPECT_EQ(0u, mismatches[t]) << "thread " << t;
        all.insert(expected[t].begin(), expected[t].end());
    }
    Pairs contents = Contents(*list);
    std::map<uint32_t, uint32_t> actual(contents.begin(), contents.end());
    EXPECT_EQ(all.size(), contents.size());
    EXPECT_EQ(all, actual);
    EXPECT_EQ(all.size(), list->size());
    EXPECT_LE(list->holes(), 8u);
}

TEST(ListVersion, NumberAndTextAreTheHeadersVersion) {
    EXPECT_EQ(uint32_t{SLOT_LIST_VERSION}, ListVersion());
    EXPECT_EQ(SLOT_LIST_VERSION_MAJOR * 10000u + SLOT_LIST_VERSION_MINOR * 100u +
                  SLOT_LIST_VERSION_PATCH,
              ListVersion());
    EXPECT_EQ(std::to_string(SLOT_LIST_VERSION_MAJOR) + "." +
                  std::to_string(SLOT_LIST_VERSION_MINOR) + "." +
                  std::to_string(SLOT_LIST_VERSION_PATCH),
              ListVersionString());
}

} // namespace
