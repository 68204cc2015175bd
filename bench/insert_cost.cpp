// The work of one insert on the common path (no growth), for
// bench/callgrind-insert to count instructions on: N inserts of 128-byte
// elements, one call each, into a list whose first block already has room
// for all of them.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <slot_list/slot_list.h>

namespace {

constexpr uint32_t ElementSize = 128;

int32_t Compare(const void *first, const void *second) {
    return std::memcmp(first, second, ElementSize) == 0 ? 0 : 1;
}

void Visit(const void *, uint32_t, int) {}

} // namespace

int main(int argc, char **argv) {
    uint32_t n = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 10000;
    ListHandle list = nullptr;
    if (!ListCreate(&list, Compare, Visit, n + 1, ElementSize, 0)) {
        return 1;
    }
    unsigned char element[ElementSize];
    std::memset(element, 0x5a, sizeof element);
    for (uint32_t i = 1; i <= n; i++) {
        std::memcpy(element, &i, sizeof i);
        if (!ListInsert(&list, element)) {
            return 1;
        }
    }
    return ListDestroy(&list) ? 0 : 1;
}
