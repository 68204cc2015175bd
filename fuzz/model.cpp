#include "model.h"

#include <algorithm>
#include <cstring>

namespace fuzz_model {

bool List::Empty(uint32_t index) {
    const unsigned char *slot = Slot(index);
    return std::all_of(slot, slot + ElementSize, [](unsigned char byte) { return byte == 0; });
}

bool List::Equals(const unsigned char *first, const unsigned char *second) const {
    if (Equal == Equality::FirstByte) {
        return first[0] == second[0];
    }
    return std::memcmp(first, second, ElementSize) == 0;
}

int Ordered(Order order, const unsigned char *first, const unsigned char *second, uint32_t size) {
    switch (order) {
    case Order::FirstByteUp:
        return first[0] - second[0];
    case Order::FirstByteDown:
        return second[0] - first[0];
    case Order::LastByte:
        return first[size - 1] - second[size - 1];
    case Order::AllBytes:
        return std::memcmp(first, second, size);
    case Order::AllEqual:
        break;
    }
    return 0;
}

uint32_t Model::BlockSize() const {
    return headerSize_ + list_->Capacity * list_->ElementSize;
}

int Model::Create(uint32_t growBy, uint32_t elementSize, uint32_t holeLimit, Equality equal) {
    if (growBy == 0 || elementSize == 0) {
        return 0;
    }
    uint64_t size = uint64_t{growBy} * elementSize + headerSize_;
    if (size > UINT32_MAX) {
        return 0;
    }
    // The block first, then the lock's storage; a lock that cannot be had
    // gives the block back.
    if (heap_.Fails()) {
        return 0;
    }
    if (heap_.Fails()) {
        if (heap_.Fails()) {
            heap_.Outstanding++;
        }
        return 0;
    }
    heap_.Outstanding += 2;
    List list;
    list.GrowBy = growBy;
    list.ElementSize = elementSize;
    list.HoleLimit = holeLimit;
    list.Capacity = growBy;
    list.Equal = equal;
    list.Slots.assign(size_t{growBy} * elementSize, 0);
    list_ = std::move(list);
    return 1;
}

int Model::Insert(const std::optional<Bytes> &element) {
    if (!list_ || !element) {
        return 0;
    }
    List &list = *list_;
    const Bytes &bytes = *element;
    if (std::all_of(bytes.begin(), bytes.end(), [](unsigned char byte) { return byte == 0; })) {
        return 0;
    }
    uint64_t needed = (uint64_t{list.Count} + 1) * list.ElementSize + headerSize_;
    if (needed > UINT32_MAX) {
        return 0;
    }
    // Grow when the insert would fill the block's last slot.
    if (needed >= BlockSize()) {
        uint64_t grown = uint64_t{list.GrowBy} * list.ElementSize + BlockSize();
        if (grown > UINT32_MAX || heap_.Fails()) {
            return 0;
        }
        list.Capacity += list.GrowBy;
        list.Slots.resize(size_t{list.Capacity} * list.ElementSize, 0);
    }
    std::memcpy(list.Slot(list.Count), bytes.data(), list.ElementSize);
    list.Count++;
    return 1;
}

bool Model::Fits(uint64_t slots) const {
    return slots <= (UINT32_MAX - headerSize_) / list_->ElementSize;
}

int Model::MakeRoom(uint32_t more) {
    List &list = *list_;
    // The slots used after the inserts and the one that stays empty above them.
    uint64_t needed = uint64_t{list.Count} + more + 1;
    if (!Fits(needed)) {
        return 0;
    }
    if (needed <= list.Capacity) {
        return 1;
    }
    // The fewest whole GrowBy steps that reach it, in one ReAlloc.
    uint64_t steps = (needed - list.Capacity + list.GrowBy - 1) / list.GrowBy;
    uint64_t capacity = list.Capacity + steps * list.GrowBy;
    if (!Fits(capacity) || heap_.Fails()) {
        return 0;
    }
    list.Capacity = static_cast<uint32_t>(capacity);
    list.Slots.resize(size_t{list.Capacity} * list.ElementSize, 0);
    return 1;
}

int Model::InsertMany(const Bytes &elements, uint32_t count) {
    if (!list_) {
        return 0;
    }
    List &list = *list_;
    for (uint32_t i = 0; i < count; i++) {
        auto element = elements.begin() + static_cast<std::ptrdiff_t>(size_t{i} * list.ElementSize);
        if (std::all_of(element, element + list.ElementSize,
                        [](unsigned char byte) { return byte == 0; })) {
            return 0;
        }
    }
    // The capacity count single inserts would end with.
    if (!MakeRoom(count)) {
        return 0;
    }
    std::copy(elements.begin(), elements.end(), list.Slot(list.Count));
    list.Count += count;
    return 1;
}

int Model::Reserve(uint32_t count) {
    if (!list_) {
        return 0;
    }
    return MakeRoom(count);
}

int Model::Clear() {
    if (!list_) {
        return 0;
    }
    List &list = *list_;
    std::memset(list.Slot(0), 0, size_t{list.Count} * list.ElementSize);
    list.Count = 0;
    list.HoleCount = 0;
    list.FirstHole.reset();
    return 1;
}

int Model::Compact() {
    if (!list_) {
        return 0;
    }
    if (list_->HoleCount == 0) {
        return 1;
    }
    // A hole is counted, so FirstHole is set: the list records every one.
    return Compact(list_->FirstHole.value_or(0), nullptr);
}

int Model::Sort(Order order) {
    if (!list_) {
        return 0;
    }
    List &list = *list_;
    const uint32_t live = list.Count - list.HoleCount;
    if (live < 2) {
        return Compact();
    }
    // Two index arrays and the elements: 8 + ElementSize bytes per element.
    if (uint64_t{live} > UINT32_MAX / (uint64_t{8} + list.ElementSize)) {
        return 0;
    }
    if (heap_.Fails()) {
        return 0;
    }
    heap_.Outstanding++;
    SortedLive = live;
    std::vector<Bytes> elements;
    for (uint32_t i = 0; i < list.Count; i++) {
        if (!list.Empty(i)) {
            elements.emplace_back(list.Slot(i), list.Slot(i) + list.ElementSize);
        }
    }
    // A later element goes before an earlier one only when order puts the
    // earlier one strictly after it.
    const uint32_t size = list.ElementSize;
    std::stable_sort(elements.begin(), elements.end(),
                     [order, size](const Bytes &later, const Bytes &earlier) {
                         return Ordered(order, earlier.data(), later.data(), size) > 0;
                     });
    std::memset(list.Slot(0), 0, size_t{list.Count} * list.ElementSize);
    for (size_t i = 0; i < elements.size(); i++) {
        std::copy(elements[i].begin(), elements[i].end(), list.Slot(static_cast<uint32_t>(i)));
    }
    list.Count = static_cast<uint32_t>(elements.size());
    list.HoleCount = 0;
    list.FirstHole.reset();
    // The scratch block goes back; refused, it stays with the heap and the
    // list is sorted all the same.
    if (heap_.Fails()) {
        return 0;
    }
    heap_.Outstanding--;
    return 1;
}

int Model::InsertManyOwnSlots(uint32_t index, uint32_t count) {
    if (!list_) {
        return 0;
    }
    const unsigned char *first = list_->Slot(index);
    return InsertMany(Bytes(first, first + size_t{count} * list_->ElementSize), count);
}

int Model::InsertOwnSlot(uint32_t index) {
    if (!list_) {
        return 0;
    }
    // The copy is taken from the slot's bytes as they are before any growth.
    const unsigned char *slot = list_->Slot(index);
    return Insert(Bytes(slot, slot + list_->ElementSize));
}

int Model::Delete(const Bytes &key) {
    if (!list_) {
        return 0;
    }
    List &list = *list_;
    for (uint32_t i = 0; i < list.Count; i++) {
        if (list.Empty(i)) {
            continue;
        }
        Compares.push_back({false, i});
        if (!list.Equals(list.Slot(i), key.data())) {
            continue;
        }
        ClearSlot(i);
        return CompactIfDue(nullptr);
    }
    return 0;
}

int Model::DeleteAt(uint32_t *position) {
    if (!list_ || *position == 0 || *position > list_->Count || list_->Empty(*position - 1)) {
        return 0;
    }
    uint32_t index = *position - 1;
    ClearSlot(index);
    uint32_t follow = index + 1;
    int result = CompactIfDue(&follow);
    *position = follow + 1;
    return result;
}

uint32_t Model::DeleteIf(const Rule &rule) {
    if (!list_) {
        return 0;
    }
    List &list = *list_;
    uint32_t deleted = 0;
    for (uint32_t i = 0; i < list.Count; i++) {
        if (list.Empty(i)) {
            continue;
        }
        Matches.push_back({i, i + 1, true});
        if (rule.Matches(list.Slot(i), i + 1)) {
            ClearSlot(i);
            deleted++;
        }
    }
    CompactIfDue(nullptr);
    return deleted;
}

std::optional<uint32_t> Model::Next(uint32_t *position) {
    if (!list_) {
        return std::nullopt;
    }
    for (uint64_t i = *position == 0 ? 0 : *position - 1; i < list_->Count; i++) {
        if (!list_->Empty(static_cast<uint32_t>(i))) {
            *position = static_cast<uint32_t>(i + 1);
            return static_cast<uint32_t>(i);
        }
    }
    return std::nullopt;
}

uint32_t Model::Size() {
    uint32_t live = 0;
    for (uint32_t i = 0; list_ && i < list_->Count; i++) {
        live += list_->Empty(i) ? 0 : 1;
    }
    return live;
}

void Model::ClearSlot(uint32_t index) {
    List &list = *list_;
    std::memset(list.Slot(index), 0, list.ElementSize);
    list.HoleCount++;
    if (!list.FirstHole || index < *list.FirstHole) {
        list.FirstHole = index;
    }
}

int Model::CompactIfDue(uint32_t *follow) {
    if (list_->HoleCount <= list_->HoleLimit) {
        return 1;
    }
    return Compact(*list_->FirstHole, follow);
}

int Model::Compact(uint32_t start, uint32_t *follow) {
    List &list = *list_;
    uint32_t k = start;
    for (;;) {
        if (k >= list.Count) {
            return 0;
        }
        if (!list.Empty(k)) {
            k++;
            continue;
        }
        // Move slots k + 1 .. Count - 1 down by one; the top used slot is
        // left all zero.
        size_t length = size_t{list.Count - 1 - k} * list.ElementSize;
        std::memmove(list.Slot(k), list.Slot(k + 1), length);
        std::memset(list.Slot(list.Count - 1), 0, list.ElementSize);
        list.Count--;
        list.HoleCount--;
        if (follow != nullptr && k < *follow) {
            (*follow)--;
        }
        if (list.HoleCount == 0) {
            list.FirstHole.reset();
            return 1;
        }
    }
}

std::optional<uint32_t> Model::Find(const Bytes &key) {
    if (!list_) {
        return std::nullopt;
    }
    List &list = *list_;
    std::optional<uint32_t> found;
    for (uint32_t i = 0; i < list.Count; i++) {
        if (list.Empty(i)) {
            continue;
        }
        Compares.push_back({true, i});
        if (list.Equals(key.data(), list.Slot(i))) {
            found = i;
        }
    }
    return found;
}

void Model::Traverse() {
    if (!list_) {
        return;
    }
    for (uint32_t i = 0; i < list_->Count; i++) {
        if (!list_->Empty(i)) {
            Visits.push_back({i, i + 1, 0});
        }
    }
    Visits.push_back({0, 0, 1});
}

int Model::Destroy() {
    if (!list_) {
        return 0;
    }
    // The block first; if the heap refuses it the list is untouched.
    if (heap_.Fails()) {
        return 0;
    }
    list_.reset();
    heap_.Outstanding--;
    if (heap_.Fails()) {
        return 0; // the lock's storage stays with the heap
    }
    heap_.Outstanding--;
    return 1;
}

} // namespace fuzz_model
