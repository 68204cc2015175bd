#include "helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace testing_support {

int CompareCalls = 0;
std::vector<Visit> Visits;

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
    CompareCalls++;
    return KeyOf(first) == KeyOf(second) ? 0 : 1;
}

void RecordVisit(const void *element, uint32_t position, int isEnd) {
    Visits.push_back({element, position, isEnd, element == nullptr ? 0 : KeyOf(element)});
}

std::vector<uint32_t> VisitedKeys() {
    std::vector<uint32_t> keys;
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

void InsertKeys(ListHandle *handle, const std::vector<uint32_t> &keys) {
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

std::vector<uint32_t> SlotKeys(ListHandle handle) {
    std::vector<uint32_t> keys;
    for (uint32_t i = 0; i < handle->Count; i++) {
        const unsigned char *slot = SlotAt(handle, i);
        bool empty = std::all_of(slot, slot + handle->ElementSize,
                                 [](unsigned char byte) { return byte == 0; });
        keys.push_back(empty ? 0 : KeyOf(slot));
    }
    return keys;
}

std::vector<unsigned char> Snapshot(ListHandle handle) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(handle);
    return std::vector<unsigned char>(bytes, bytes + handle->BlockSize);
}

} // namespace testing_support
