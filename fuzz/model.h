// A reference model of the slot list, its slots kept as plain bytes, following
// the list's documented behaviour, heap calls included, so that the fuzz target
// can run the real list and the model side by side and compare them after
// every step. It never calls the list.
#ifndef SLOT_LIST_FUZZ_MODEL_H
#define SLOT_LIST_FUZZ_MODEL_H

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "test_heap.h"

namespace fuzz_model {

using Bytes = std::vector<unsigned char>;

// One callback call: 'c' (comparator: key first or not, slot), 'v' (visitor:
// slot, or 0 for the closing call, position, isEnd) or 'm' (predicate: slot,
// position, whether it got its context).
using Call = std::array<uint32_t, 4>;

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

inline bool Equals(Equality how, const unsigned char *a, const unsigned char *b, uint32_t size) {
    return how == Equality::FirstByte ? a[0] == b[0] : std::memcmp(a, b, size) == 0;
}

// The orders a fuzzed ListSort is given. All but AllBytes call many elements
// equivalent (AllEqual every two), so that stability shows.
enum class Order { FirstByteUp, FirstByteDown, LastByte, AllBytes, AllEqual };
constexpr uint32_t OrderKinds = 5;

// Negative, zero or positive as for qsort, not only -1, 0 and 1.
inline int Ordered(Order order, const unsigned char *first, const unsigned char *second,
                   uint32_t size) {
    return order == Order::FirstByteUp     ? first[0] - second[0]
           : order == Order::FirstByteDown ? second[0] - first[0]
           : order == Order::LastByte      ? first[size - 1] - second[size - 1]
           : order == Order::AllBytes      ? std::memcmp(first, second, size)
                                           : 0;
}

inline bool AllZero(const unsigned char *bytes, size_t size) {
    return std::all_of(bytes, bytes + size, [](unsigned char byte) { return byte == 0; });
}

// Every empty slot below Count is a hole, as inserts refuse all-zero
// elements, so the hole count and the first hole follow from the bytes.
struct ListState {
    uint32_t GrowBy, ElementSize, HoleLimit, Capacity, Count;
    Equality Equal;
    Bytes Slots; // Capacity * ElementSize bytes, all zero from Count up

    unsigned char *Slot(uint32_t index) { return Slots.data() + size_t{index} * ElementSize; }
    bool Empty(uint32_t index) { return AllZero(Slot(index), ElementSize); }
    Bytes Copy(uint32_t index, uint32_t count) { return Bytes(Slot(index), Slot(index + count)); }
    std::vector<uint32_t> Live() {
        std::vector<uint32_t> live;
        for (uint32_t i = 0; i < Count; i++) {
            if (!Empty(i)) {
                live.push_back(i);
            }
        }
        return live;
    }
    uint32_t HoleCount() { return Count - static_cast<uint32_t>(Live().size()); }
    std::optional<uint32_t> FirstHole() {
        for (uint32_t i = 0; i < Count; i++) {
            if (Empty(i)) {
                return i;
            }
        }
        return std::nullopt;
    }
};

// One handle and the heap behind it: which calls fail, as the test heap
// decides it, and how many blocks are out.
struct Model {
    explicit Model(uint32_t headerSize) : HeaderSize(headerSize) {}
    uint32_t HeaderSize; // bytes in front of the slot area
    testing_support::FailurePlan Plan;
    uint64_t Outstanding = 0;
    std::optional<ListState> List;
    std::vector<Call> Calls;
    // Set by a Sort that got its scratch block and had two live elements or
    // more: how many; a correct sort calls order at least this less one times.
    std::optional<uint32_t> SortedLive;

    uint32_t BlockSize() const { return HeaderSize + List->Capacity * List->ElementSize; }
    std::vector<uint32_t> Live() { return List ? List->Live() : std::vector<uint32_t>(); }
    bool Fits(uint64_t slots) const {
        return slots <= (UINT32_MAX - HeaderSize) / List->ElementSize;
    }

    int Create(uint32_t growBy, uint32_t elementSize, uint32_t holeLimit, Equality equal) {
        if (growBy == 0 || elementSize == 0 ||
            uint64_t{growBy} * elementSize + HeaderSize > UINT32_MAX || Plan.Fails()) {
            return 0;
        }
        // The block first, then the lock's storage; a lock that cannot be had
        // gives the block back, unless the heap refuses that too.
        if (Plan.Fails()) {
            Outstanding += Plan.Fails() ? 1 : 0;
            return 0;
        }
        Outstanding += 2;
        List = ListState{growBy, elementSize, holeLimit, growBy, 0, equal, {}};
        List->Slots.assign(size_t{growBy} * elementSize, 0);
        return 1;
    }

    // All or none, growing at most once, as count single inserts would.
    int InsertMany(const Bytes &elements, uint32_t count) {
        if (!List) {
            return 0;
        }
        for (uint32_t i = 0; i < count; i++) {
            if (AllZero(&elements[size_t{i} * List->ElementSize], List->ElementSize)) {
                return 0;
            }
        }
        if (!Reserve(count)) {
            return 0;
        }
        std::copy(elements.begin(), elements.end(), List->Slot(List->Count));
        List->Count += count;
        return 1;
    }
    int Insert(const Bytes &element) { return InsertMany(element, 1); }

    // One ReAlloc, by whole GrowBy steps, to the smallest capacity that
    // leaves a slot empty above count more elements; none when there is room.
    int Reserve(uint32_t count) {
        if (!List) {
            return 0;
        }
        const uint64_t needed = uint64_t{List->Count} + count + 1;
        if (!Fits(needed)) {
            return 0;
        }
        if (needed <= List->Capacity) {
            return 1;
        }
        const uint64_t capacity = List->Capacity + (needed - List->Capacity + List->GrowBy - 1) /
                                                       List->GrowBy * List->GrowBy;
        if (!Fits(capacity) || Plan.Fails()) {
            return 0;
        }
        List->Capacity = static_cast<uint32_t>(capacity);
        List->Slots.resize(size_t{List->Capacity} * List->ElementSize, 0);
        return 1;
    }

    int Clear() {
        if (List) {
            std::fill(List->Slots.begin(), List->Slots.end(), 0);
            List->Count = 0;
        }
        return List.has_value();
    }

    // Writes the slots named, in that order, from slot 0 up and zeroes the
    // rest: what a compaction and a sort leave.
    void Pack(const std::vector<uint32_t> &slots) {
        Bytes packed(List->Slots.size(), 0);
        for (size_t i = 0; i < slots.size(); i++) {
            std::copy_n(List->Slot(slots[i]), List->ElementSize, &packed[i * List->ElementSize]);
        }
        List->Slots = std::move(packed);
        List->Count = static_cast<uint32_t>(slots.size());
    }

    int Compact() {
        if (List) {
            Pack(List->Live());
        }
        return List.has_value();
    }

    // Compacts once the holes pass the limit; *follow, when given, is a slot
    // index that comes down by the holes squeezed out below it.
    void CompactIfDue(uint32_t *follow) {
        const std::vector<uint32_t> live = Live();
        if (!List || List->Count - live.size() <= List->HoleLimit) {
            return;
        }
        if (follow != nullptr) {
            *follow = static_cast<uint32_t>(std::lower_bound(live.begin(), live.end(), *follow) -
                                            live.begin());
        }
        Pack(live);
    }

    // Sorts the live elements stably, holes squeezed out, with the scratch
    // block's Alloc and Free.
    int Sort(Order order) {
        if (!List) {
            return 0;
        }
        std::vector<uint32_t> live = List->Live();
        if (live.size() < 2) {
            return Compact();
        }
        // Two index arrays and the elements: 8 + ElementSize bytes per element.
        if (live.size() > UINT32_MAX / (uint64_t{8} + List->ElementSize) || Plan.Fails()) {
            return 0;
        }
        Outstanding++;
        SortedLive = static_cast<uint32_t>(live.size());
        // A later element goes before an earlier one only when order puts the
        // earlier one strictly after it.
        std::stable_sort(live.begin(), live.end(), [&](uint32_t later, uint32_t earlier) {
            return Ordered(order, List->Slot(earlier), List->Slot(later), List->ElementSize) > 0;
        });
        Pack(live);
        // A scratch block the heap refuses to take back stays with it; the
        // list is sorted all the same.
        if (Plan.Fails()) {
            return 0;
        }
        Outstanding--;
        return 1;
    }

    int Delete(const Bytes &key) {
        for (uint32_t i : Live()) {
            Calls.push_back({'c', 0, i, 0});
            if (Equals(List->Equal, List->Slot(i), key.data(), List->ElementSize)) {
                std::fill_n(List->Slot(i), List->ElementSize, 0);
                CompactIfDue(nullptr);
                return 1;
            }
        }
        return 0;
    }

    // Deletes the live element at *position and writes where a walk goes on.
    int DeleteAt(uint32_t *position) {
        if (!List || *position == 0 || *position > List->Count || List->Empty(*position - 1)) {
            return 0;
        }
        std::fill_n(List->Slot(*position - 1), List->ElementSize, 0);
        uint32_t follow = *position;
        CompactIfDue(&follow);
        *position = follow + 1;
        return 1;
    }

    uint32_t DeleteIf(const Rule &rule) {
        uint32_t deleted = 0;
        for (uint32_t i : Live()) {
            Calls.push_back({'m', i, i + 1, 1});
            if (rule.Matches(List->Slot(i), i + 1)) {
                std::fill_n(List->Slot(i), List->ElementSize, 0);
                deleted++;
            }
        }
        CompactIfDue(nullptr);
        return deleted;
    }

    // The first live slot at *position or after, written back as a position.
    std::optional<uint32_t> Next(uint32_t *position) {
        for (uint32_t i = *position == 0 ? 0 : *position - 1; List && i < List->Count; i++) {
            if (!List->Empty(i)) {
                *position = i + 1;
                return i;
            }
        }
        return std::nullopt;
    }

    uint32_t Size() { return static_cast<uint32_t>(Live().size()); }

    std::optional<uint32_t> Find(const Bytes &key) {
        std::optional<uint32_t> found;
        for (uint32_t i : Live()) {
            Calls.push_back({'c', 1, i, 0});
            if (Equals(List->Equal, key.data(), List->Slot(i), List->ElementSize)) {
                found = i;
            }
        }
        return found;
    }

    void Traverse() {
        if (!List) {
            return;
        }
        for (uint32_t i : List->Live()) {
            Calls.push_back({'v', i, i + 1, 0});
        }
        Calls.push_back({'v', 0, 0, 1});
    }

    int Destroy() {
        // The block first: refused, it leaves the list untouched. A refused
        // release of the lock's storage after it leaves that with the heap.
        if (!List || Plan.Fails()) {
            return 0;
        }
        List.reset();
        const bool lockReleased = !Plan.Fails();
        Outstanding -= lockReleased ? 2 : 1;
        return lockReleased ? 1 : 0;
    }
};

} // namespace fuzz_model

#endif // SLOT_LIST_FUZZ_MODEL_H
