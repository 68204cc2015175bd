// Dies of a fault the way a broken test would, without a clean exit. Its test
// expects a failure, so a runner that reports a crash as success fails it.

#include <cstdio>
#include <cstdlib>

int main() {
    volatile int *nowhere = nullptr;
    std::fputs("crashing on purpose\n", stderr);
    *nowhere = 1; // NOLINT: the point of this program
    std::abort();
}
