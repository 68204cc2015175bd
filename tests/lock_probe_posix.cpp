// Whether a list's lock is held, read from the lock itself: its owner is
// zero exactly when it is free.

#include "helpers.h"
#include "list.h"

namespace testing_support {

bool LockIsFree(ListLock *lock) {
    return lock->Mutex.Owner.load() == pthread_t{};
}

} // namespace testing_support
