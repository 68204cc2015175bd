#include "helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace testing_support {

std::vector<std::pair<const void *, const void *>> Compared;
std::vector<Visit> Visits;

Keys KeyRange(uint32_t first, uint32_t last) {
    Keys keys;
    for (uint32_t key = first; key <= last; key++) {
        keys.push_back(key);
    }
    return keys;
}

std::vector<unsigned char> Element(uint32_t size, uint32_t key) {
    std::vector<unsigned char> bytes(size);
    for (uint32_t i = 0; i < size; i++) {
        bytes[i] = static_cast<unsigned char>(key * 31 + i);
    }
    std::memcpy(bytes.data(), &key, std::min<size_t>(sizeof key, size));
    return bytes;
}

uint32_t KeyOf(const void *element) {
    uint32_t key;
    std::memcpy(&key, element, sizeof key);
    return key;
}

int32_t CompareKeys(const void *first, const void *second) {
    Compared.emplace_back(first, second);
    return KeyOf(first) == KeyOf(second) ? 0 : 1;
}

int OrderByKey(const void *first, const void *second, void *) {
    return KeyOf(first) < KeyOf(second) ? -1 : KeyOf(first) > KeyOf(second);
}

bool AllZero(const void *bytes, size_t length) {
    const auto *p = static_cast<const unsigned char *>(bytes);
    return std::all_of(p, p + length, [](unsigned char byte) { return byte == 0; });
}

void RecordVisit(const void *element, uint32_t position, int isEnd) {
    Visits.push_back({element, position, isEnd, element == nullptr ? 0 : KeyOf(element)});
}

Keys VisitedKeys() {
    Keys keys;
    for (const Visit &visit : Visits) {
        if (!visit.IsEnd) {
            keys.push_back(visit.Key);
        }
    }
    return keys;
}

ListHandle MakeList(uint32_t growBy, uint32_t elementSize, uint32_t holeLimit) {
    ListHandle handle = nullptr;
    EXPECT_EQ(1, ListCreate(&handle, CompareKeys, RecordVisit, growBy, elementSize, holeLimit));
    return handle;
}

void InsertKeys(ListHandle *handle, const Keys &keys) {
    for (uint32_t key : keys) {
        std::vector<unsigned char> element = Element((*handle)->ElementSize, key);
        ASSERT_EQ(1, ListInsert(handle, element.data())) << "key " << key;
    }
}

int DeleteKey(ListHandle *handle, uint32_t key) {
    std::vector<unsigned char> element = Element((*handle)->ElementSize, key);
    return ListDelete(handle, element.data());
}

uint32_t Capacity(ListHandle handle) {
    return (handle->BlockSize - static_cast<uint32_t>(sizeof(ListBlock))) / handle->ElementSize;
}

Keys SlotKeys(ListHandle handle) {
    Keys keys;
    for (uint32_t i = 0; i < handle->Count; i++) {
        const unsigned char *slot = SlotAt(handle, i);
        keys.push_back(AllZero(slot, handle->ElementSize) ? 0 : KeyOf(slot));
    }
    return keys;
}

std::vector<unsigned char> Snapshot(ListHandle handle) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(handle);
    return std::vector<unsigned char>(bytes, bytes + handle->BlockSize);
}

} // namespace testing_support
