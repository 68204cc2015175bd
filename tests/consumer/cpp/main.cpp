// An installed-package consumer in C++: a List and a SharedList used from two
// threads; exits non-zero when a result is not what the list promises.
#include <cstdint>
#include <cstdio>
#include <thread>

#include <slot_list/slot_list.hpp>

// Only the public headers are in reach, and only as <slot_list/...>.
#if __has_include("list.h") || __has_include("platform.h") || __has_include(<slot_list.h>)
#error "the library's private headers, or its header folder itself, are on the include path"
#endif

int main() {
    int failures = 0;

    auto list = slot_list::List<uint64_t>::create(4, 2);
    if (!list) {
        std::puts("List::create failed");
        return 1;
    }
    for (uint64_t value = 1; value <= 10; value++) {
        failures += !list->insert(value);
    }
    failures += !list->erase(4);
    uint64_t sum = 0;
    for (uint64_t value : *list) {
        sum += value;
    }
    failures += sum != 55 - 4;
    failures += list->find(4) != nullptr;

    auto shared = slot_list::SharedList<uint64_t>::create(8, 4);
    if (!shared) {
        std::puts("SharedList::create failed");
        return 1;
    }
    auto fill = [&shared](uint64_t from) {
        for (uint64_t value = from; value < from + 1000; value++) {
            shared->insert(value);
        }
    };
    std::thread first(fill, 1);
    std::thread second(fill, 1001);
    first.join();
    second.join();
    failures += shared->size() != 2000;
    failures += !shared->find(1500);

    std::printf("C++ consumer: %s\n", failures == 0 ? "ok" : "FAILED");
    return failures == 0 ? 0 : 1;
}
