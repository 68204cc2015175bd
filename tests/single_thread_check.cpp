// A lock left while the process had one thread must be free for the first
// thread it starts. The process has to begin with one thread, so this is a
// program of its own, not a case of the test binary (which has started
// threads long before).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>

#include <slot_list/slot_list.h>

static int32_t Compare(const void *first, const void *second) {
    return std::memcmp(first, second, sizeof(uint32_t)) != 0;
}

static void Visit(const void *, uint32_t, int) {}

int main() {
    ListHandle list = nullptr;
    uint32_t one = 1, two = 2;
    if (!ListCreate(&list, Compare, Visit, 4, sizeof(uint32_t), 0) || !ListInsert(&list, &one)) {
        std::puts("single thread check: the list could not be made");
        return 1;
    }
    auto later = std::async(std::launch::async, [&list, &two] { return ListInsert(&list, &two); });
    if (later.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        std::puts("single thread check: the second thread still waits for the lock");
        std::fflush(stdout);
        std::_Exit(1); // not return: the waiting thread could not be joined
    }
    bool ok = later.get() == 1 && ListSize(&list) == 2 && ListDestroy(&list) == 1;
    std::puts(ok ? "single thread check: ok" : "single thread check: wrong result");
    return ok ? 0 : 1;
}
