// Shared helpers for the list tests: the test heap, element makers, a
// recording visitor and block snapshots.
#ifndef SLOT_LIST_TEST_HELPERS_H
#define SLOT_LIST_TEST_HELPERS_H

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include <slot_list/slot_list.h>
#include "slot_at.h"
#include "test_heap.h"

namespace testing_support {

using Keys = std::vector<uint32_t>;

Keys KeyRange(uint32_t first, uint32_t last);

// An element of size bytes whose first four bytes hold key (non-zero keeps it
// live) and whose other bytes follow a pattern drawn from key.
std::vector<unsigned char> Element(uint32_t size, uint32_t key);

uint32_t KeyOf(const void *element);

// Compares the keys of two elements and records its arguments in Compared.
int32_t CompareKeys(const void *first, const void *second);
extern std::vector<std::pair<const void *, const void *>> Compared;

// Orders elements by key, for ListSort.
int OrderByKey(const void *first, const void *second, void *context);

bool AllZero(const void *bytes, size_t length);

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
Keys VisitedKeys();

// Creates a list with the test callbacks, failing the test when it cannot.
ListHandle MakeList(uint32_t growBy, uint32_t elementSize, uint32_t holeLimit);

// Inserts elements with the given keys, failing the test on any refusal.
void InsertKeys(ListHandle *handle, const Keys &keys);

int DeleteKey(ListHandle *handle, uint32_t key);

uint32_t Capacity(ListHandle handle);

// The keys of slots 0 to Count - 1, 0 standing for an all-zero slot.
Keys SlotKeys(ListHandle handle);

// True when no thread holds the lock (lock_probe_*.cpp, the platform's own).
bool LockIsFree(ListLock *lock);

// Every byte of the block, header included.
std::vector<unsigned char> Snapshot(ListHandle handle);

} // namespace testing_support

#endif // SLOT_LIST_TEST_HELPERS_H
