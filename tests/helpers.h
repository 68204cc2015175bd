// Shared helpers for the list tests: a heap that fails on request and counts
// what it hands out, element makers, a recording visitor and block snapshots.
#ifndef SLOT_LIST_TEST_HELPERS_H
#define SLOT_LIST_TEST_HELPERS_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "mem.h"
#include "slot_list.h"

namespace testing_support {

// Puts itself behind the Mem* primitives for its lifetime, wrapping the heap
// that was there. It can fail the n-th call, move every growth, and it knows
// every block it handed out, so a test can tell that nothing leaked.
class TestHeap {
  public:
    TestHeap();
    ~TestHeap();
    TestHeap(const TestHeap &) = delete;
    TestHeap &operator=(const TestHeap &) = delete;

    // Fails call number n (1-based) counted from now; with every, also all
    // calls after it. A failed Alloc or ReAlloc returns NULL, a failed Free
    // returns 0; none of them touches any block.
    void FailAt(uint64_t n, bool every = false);
    void FailNone() { FailAt(0); }
    // Makes each growth move the block (new address, old one released).
    void MoveOnGrowth(bool move) { move_ = move; }

    uint64_t Calls() const { return calls_; }
    uint64_t Failures() const { return failures_; }
    // Blocks handed out and not released.
    size_t Outstanding() const { return live_.size(); }

  private:
    static void *Alloc(uint32_t size);
    static void *ReAlloc(void *block, uint32_t newSize);
    static int Free(void *block);
    bool Fails();

    MemHeapMethods inner_{};
    std::map<void *, uint32_t> live_;
    uint64_t calls_ = 0;
    uint64_t failures_ = 0;
    uint64_t failAt_ = 0;
    bool failEvery_ = false;
    bool move_ = false;
};

// An element of size bytes whose first four bytes hold key (non-zero keeps it
// live) and whose other bytes follow a pattern drawn from key.
std::vector<unsigned char> Element(uint32_t size, uint32_t key);

// The key in an element's first four bytes.
uint32_t KeyOf(const void *element);

// Compares the keys of two elements and counts the calls in CompareCalls.
int32_t CompareKeys(const void *first, const void *second);
extern int CompareCalls;

// One call of RecordVisit.
struct Visit {
    const void *Element;
    uint32_t Position;
    int IsEnd;
    uint32_t Key;
};
extern std::vector<Visit> Visits;
void RecordVisit(const void *element, uint32_t position, int isEnd);

// The keys RecordVisit saw, in order, without the closing call.
std::vector<uint32_t> VisitedKeys();

// Creates a list with the test callbacks, failing the test when it cannot.
ListHandle MakeList(uint32_t growBy, uint32_t elementSize, uint32_t holeLimit);

// Inserts elements with the given keys, failing the test on any refusal.
void InsertKeys(ListHandle *handle, const std::vector<uint32_t> &keys);

// Deletes the element with key, returning ListDelete's result.
int DeleteKey(ListHandle *handle, uint32_t key);

// Slots in the block.
uint32_t Capacity(ListHandle handle);

// The keys of slots 0 to Count - 1, 0 standing for an all-zero slot.
std::vector<uint32_t> SlotKeys(ListHandle handle);

// Every byte of the block, header included.
std::vector<unsigned char> Snapshot(ListHandle handle);

} // namespace testing_support

#endif // SLOT_LIST_TEST_HELPERS_H
