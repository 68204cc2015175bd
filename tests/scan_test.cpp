// Telling live slots from holes across runs of holes, for element sizes below,
// at and above a word and above the scan's chunk, with live elements whose only
// non-zero byte is their last; and the zero scan beneath.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <slot_list/slot_list.h>

#include "list.h"
#include "slot_at.h"

namespace {

uint32_t Size = 0;
std::vector<std::pair<const void *, uint32_t>> Seen;

int32_t CompareLastBytes(const void *first, const void *second) {
    return static_cast<const unsigned char *>(first)[Size - 1] ==
                   static_cast<const unsigned char *>(second)[Size - 1]
               ? 0
               : 1;
}

void RecordPosition(const void *element, uint32_t position, int isEnd) {
    if (!isEnd) {
        Seen.emplace_back(element, position);
    }
}

struct Scan : ::testing::TestWithParam<uint32_t> {};

TEST_P(Scan, RunsOfHolesAreSkippedAndLateBytesKeepSlotsLive) {
    Size = GetParam();
    Seen.clear();
    ListHandle handle = nullptr;
    ASSERT_EQ(1, ListCreate(&handle, CompareLastBytes, RecordPosition, 16, Size, 1000));
    const uint32_t n = 200;
    auto element = [](uint32_t key) {
        std::vector<unsigned char> bytes(Size, 0);
        bytes[Size - 1] = static_cast<unsigned char>(key);
        return bytes;
    };
    for (uint32_t key = 1; key <= n; key++) {
        ASSERT_EQ(1, ListInsert(&handle, element(key).data()));
    }
    // Short runs all along and one long run, longer than the scan's chunk for
    // the larger sizes; the holes stay, well under the limit.
    std::vector<bool> live(n + 1, true);
    for (uint32_t key = 1; key <= n; key++) {
        if (key % 7 < 3 || (key >= 100 && key < 190)) {
            ASSERT_EQ(1, ListDelete(&handle, element(key).data())) << key;
            live[key] = false;
        }
    }
    ASSERT_EQ(n, handle->Count);

    ListTraverse(&handle);
    std::vector<std::pair<const void *, uint32_t>> expected;
    for (uint32_t key = 1; key <= n; key++) {
        const void *slot = testing_support::SlotAt(handle, key - 1);
        if (live[key]) {
            expected.emplace_back(slot, key);
        }
        EXPECT_EQ(live[key] ? slot : nullptr, ListFind(&handle, element(key).data())) << key;
    }
    EXPECT_EQ(expected, Seen);
    Seen.clear();
    uint32_t p = 1;
    for (void *e; (e = ListNext(&handle, &p)) != nullptr; p++) {
        Seen.emplace_back(e, p);
    }
    EXPECT_EQ(expected, Seen);
    // The first live slot after the long run is found and deleted.
    EXPECT_EQ(1, ListDelete(&handle, element(192).data()));
    EXPECT_EQ(0, ListDelete(&handle, element(150).data()));
    EXPECT_NE(0, ListDestroy(&handle));
}

// The zero scan reads its bytes and no further (each buffer is exactly its
// length, so a sanitizer sees a read past it) and stops at the first non-zero
// byte, a 1 included, whichever of its loops meets it.
TEST(ZeroPrefix, StopsAtTheFirstNonZeroByteAndReadsNoFurther) {
    for (size_t length : {0, 1, 7, 8, 9, 31, 32, 33, 40, 63, 1023, 1024, 1025, 1064, 2100}) {
        for (size_t at = 0; at <= length; at += at < 80 || length - at < 80 ? 1 : 61) {
            std::vector<unsigned char> bytes(length);
            if (at < length) {
                bytes[at] = 1;
            }
            EXPECT_EQ(at, slot_list::internal::ZeroPrefix(bytes.data(), length))
                << length << " bytes, the 1 at " << at;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ElementSizes, Scan, ::testing::Values(1u, 5u, 8u, 13u, 200u, 1500u),
                         ::testing::PrintToStringParamName());

} // namespace
