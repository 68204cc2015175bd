// Whether a list's lock is held, read from the lock itself: its owner is
// zero exactly when it is free.

#include "helpers.h"
#include "platform/platform.h"

namespace testing_support {

bool LockIsFree(ListLock *lock) {
    return lock->Owner.load() == pthread_t{};
}

} // namespace testing_support
