// Whether a list's lock is held: another thread tries to enter its critical
// section (its owner would enter again at once).

#include <thread>

#include "helpers.h"
#include "list.h"

namespace testing_support {

bool LockIsFree(ListLock *lock) {
    bool taken = false;
    std::thread other([lock, &taken] {
        taken = TryEnterCriticalSection(&lock->Mutex.Section) != 0;
        if (taken) {
            LeaveCriticalSection(&lock->Mutex.Section);
        }
    });
    other.join();
    return taken;
}

} // namespace testing_support
