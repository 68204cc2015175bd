#include <cstdint>
#include <iostream>

#include "slot_list.hpp"

struct Order {
    uint32_t id; // never 0: an all-zero element could not be told from a hole
    uint32_t quantity;
};

struct SameId {
    bool operator()(const Order &a, const Order &b) const noexcept { return a.id == b.id; }
};

int main() {
    auto orders = slot_list::List<Order, SameId>::create(/*growBy*/ 64, /*holeLimit*/ 16);
    if (!orders) {
        return 1; // out of memory
    }
    orders->insert({7, 3});
    orders->insert({9, 1});
    orders->erase({7, 0});
    for (const Order &order : *orders) { // slot order, holes skipped
        std::cout << "order " << order.id << ": " << order.quantity << '\n';
    }
    const Order *nine = orders->find({9, 0});
    std::cout << "order 9: " << (nine ? nine->quantity : 0) << '\n';
}
