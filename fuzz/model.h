// A reference model of the slot list, kept as plain vectors and indices and
// following the list's documented step-by-step behaviour, including its heap
// calls, so that a fuzz target can run the real list and the model side by
// side and compare them after every step.
#ifndef SLOT_LIST_FUZZ_MODEL_H
#define SLOT_LIST_FUZZ_MODEL_H

#include <cstdint>
#include <optional>
#include <vector>

#include "test_heap.h"

namespace fuzz_model {

using Bytes = std::vector<unsigned char>;

// The heap behind the model: which calls fail, as the test heap decides it,
// and how many blocks are out.
struct Heap {
    testing_support::FailurePlan Plan;
    uint64_t Outstanding = 0;
    bool Fails() { return Plan.Fails(); }
};

// Which argument the comparator got the key in, and the slot it got.
struct CompareCall {
    bool KeyFirst;
    uint32_t Slot;
    bool operator==(const CompareCall &other) const {
        return KeyFirst == other.KeyFirst && Slot == other.Slot;
    }
};

// One visitor call; Slot is meaningless for the closing call.
struct VisitCall {
    uint32_t Slot;
    uint32_t Position;
    int IsEnd;
    bool operator==(const VisitCall &other) const {
        return Slot == other.Slot && Position == other.Position && IsEnd == other.IsEnd;
    }
};

// One call of the predicate ListDeleteIf is given; Context tells whether it
// got the context it was meant to.
struct MatchCall {
    uint32_t Slot;
    uint32_t Position;
    bool Context;
    bool operator==(const MatchCall &other) const {
        return Slot == other.Slot && Position == other.Position && Context == other.Context;
    }
};

// Which elements a fuzzed predicate picks, by their first byte or by their
// position: those whose key leaves Residue when divided by Modulus.
struct Rule {
    uint32_t Modulus = 1;
    uint32_t Residue = 0;
    bool ByPosition = false;
    bool Matches(const unsigned char *element, uint32_t position) const {
        return (ByPosition ? position : element[0]) % Modulus == Residue;
    }
};

// How the fuzzed comparator tells elements apart: by their first byte only
// (so that many elements are equal), or by all their bytes.
enum class Equality { FirstByte, AllBytes };

// The orders a fuzzed ListSort is given. All but AllBytes call many elements
// equivalent (AllEqual every two), so that stability shows.
enum class Order { FirstByteUp, FirstByteDown, LastByte, AllBytes, AllEqual };
constexpr uint32_t OrderKinds = 5;

// What an order callback returns for first and second, elements of size
// bytes: negative, zero or positive as for qsort, not only -1, 0 and 1.
int Ordered(Order order, const unsigned char *first, const unsigned char *second, uint32_t size);

struct List {
    uint32_t GrowBy = 0, ElementSize = 0, HoleLimit = 0;
    uint32_t Capacity = 0, Count = 0, HoleCount = 0;
    std::optional<uint32_t> FirstHole; // slot index
    Equality Equal = Equality::FirstByte;
    Bytes Slots; // Capacity * ElementSize bytes

    unsigned char *Slot(uint32_t index) { return Slots.data() + size_t{index} * ElementSize; }
    const unsigned char *Slot(uint32_t index) const {
        return Slots.data() + size_t{index} * ElementSize;
    }
    bool Empty(uint32_t index);
    bool Equals(const unsigned char *first, const unsigned char *second) const;
};

// The model of one handle and the heap behind it.
class Model {
  public:
    // headerSize: bytes in front of the slot area.
    explicit Model(uint32_t headerSize) : headerSize_(headerSize) {}

    int Create(uint32_t growBy, uint32_t elementSize, uint32_t holeLimit, Equality equal);
    // element empty for a null element.
    int Insert(const std::optional<Bytes> &element);
    // Inserts a copy of the list's own slot index.
    int InsertOwnSlot(uint32_t index);
    // Inserts the count elements laid out one after another in elements, all
    // or none, growing at most once.
    int InsertMany(const Bytes &elements, uint32_t count);
    // Inserts copies of count of the list's own slots from index up.
    int InsertManyOwnSlots(uint32_t index, uint32_t count);
    // Grows, at most once, so that count more single inserts need no growth.
    int Reserve(uint32_t count);
    // Every used slot back to zero, no element and no hole.
    int Clear();
    // Squeezes every hole out now, as a deletion's compaction does.
    int Compact();
    // Squeezes the holes out and sorts the live elements stably by order,
    // with the scratch block's Alloc and Free.
    int Sort(Order order);
    int Delete(const Bytes &key);
    // Deletes the live element at *position and writes where a walk goes on.
    int DeleteAt(uint32_t *position);
    // Deletes every live element the rule picks, recording each call.
    uint32_t DeleteIf(const Rule &rule);
    // The slot index of the first live slot at *position or after, written
    // back as a position, if any.
    std::optional<uint32_t> Next(uint32_t *position);
    // Live slots.
    uint32_t Size();
    // The slot index found, if any.
    std::optional<uint32_t> Find(const Bytes &key);
    void Traverse();
    int Destroy();

    Heap &TheHeap() { return heap_; }
    const std::optional<List> &TheList() const { return list_; }
    uint32_t BlockSize() const;
    std::vector<CompareCall> Compares;
    std::vector<VisitCall> Visits;
    std::vector<MatchCall> Matches;
    // Set by a Sort that got its scratch block and had two live elements or
    // more: how many; a correct sort calls order at least this less one times.
    std::optional<uint32_t> SortedLive;

  private:
    // Grows, at most once and by whole GrowBy steps, to the smallest capacity
    // that leaves a slot empty after more elements past Count: what
    // ListInsertMany and ListReserve share. Returns 0, with the list as it was,
    // when a size does not fit in 32 bits or the heap refuses the ReAlloc.
    int MakeRoom(uint32_t more);
    // Whether slots slots and the header fit in 32 bits.
    bool Fits(uint64_t slots) const;
    // Clears live slot index and counts the hole.
    void ClearSlot(uint32_t index);
    // Compacts when the holes exceed the limit; *follow, when given, is a slot
    // index that each removal below it lowers.
    int CompactIfDue(uint32_t *follow);
    int Compact(uint32_t start, uint32_t *follow);

    uint32_t headerSize_;
    Heap heap_;
    std::optional<List> list_;
};

} // namespace fuzz_model

#endif // SLOT_LIST_FUZZ_MODEL_H
