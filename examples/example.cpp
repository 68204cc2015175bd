#include <cstdint>
#include <iostream>

#include <slot_list/slot_list.hpp>

int main() {
    // 64 slots, growing by 64; compaction once more than 16 holes pile up.
    auto ids = slot_list::List<uint32_t>::create(64, 16);
    if (!ids) {
        return 1; // out of memory
    }
    for (uint32_t id : {7, 9, 11}) { // never 0: an all-zero element would be a hole
        ids->insert(id);
    }
    ids->erase(9);
    for (uint32_t id : *ids) { // slot order, holes skipped: 7, 11
        std::cout << id << '\n';
    }
    return ids->find(11) != nullptr ? 0 : 1;
}
