// fork() beside threads that use lists: the child of a process whose other
// threads were creating, growing and destroying lists at the moment of the
// fork must be able to use lists of its own. The library holds no
// process-wide lock that a thread missing from the child could have held;
// this shows it, bounded in count and time: a child that has not finished
// within its alarm hung, and the check stops there.
//
//   slot_list_fork_check [CHILDREN]    (default 2500); exit 1 when a child hung
//                                      or failed

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include <slot_list/slot_list.h>

namespace {

int32_t Compare(const void *first, const void *second) {
    return std::memcmp(first, second, 4) == 0 ? 0 : 1;
}

void Visit(const void *, uint32_t, int) {}

// Creates a list of elementSize-byte elements, appends count of them and
// destroys it; false when the list refused something.
bool UseList(uint32_t elementSize, uint32_t count) {
    ListHandle list = nullptr;
    if (!ListCreate(&list, Compare, Visit, 16, elementSize, 8)) {
        return false;
    }
    std::vector<unsigned char> element(elementSize, 0x5a);
    bool done = true;
    for (uint32_t i = 1; i <= count && done; i++) {
        std::memcpy(element.data(), &i, sizeof i);
        done = ListInsert(&list, element.data()) == 1;
    }
    return ListDestroy(&list) != 0 && done;
}

} // namespace

int main(int argc, char **argv) {
    const int children = argc > 1 ? std::atoi(argv[1]) : 2500;
    std::atomic<bool> stop{false};
    std::vector<std::thread> churners;
    for (int i = 0; i < 3; i++) {
        // Past 64 KiB: 600 elements of 128 bytes.
        churners.emplace_back([&stop] {
            while (!stop.load()) {
                UseList(128, 600);
            }
        });
    }
    int hung = 0, failed = 0;
    int forked = 0;
    for (; forked < children && hung == 0; forked++) {
        pid_t child = fork();
        if (child < 0) {
            std::perror("fork");
            failed++;
            break;
        }
        if (child == 0) {
            alarm(5);
            _exit(UseList(64, 1100) ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) {
            hung++;
        } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            failed++;
        }
    }
    stop.store(true);
    for (std::thread &churner : churners) {
        churner.join();
    }
    std::printf("fork check: %d children beside 3 threads churning lists: %d hung, %d failed\n",
                forked, hung, failed);
    return hung == 0 && failed == 0 ? 0 : 1;
}
