// platform_lock.h (Windows) - the list's recursive lock: a critical section,
// already recursive and quick to enter without contention (win.cpp).
#ifndef SLOT_LIST_PLATFORM_LOCK_H
#define SLOT_LIST_PLATFORM_LOCK_H

#include <slot_list/slot_list.h>

namespace slot_list::internal {

void PlatLockEnter(ListLock *lock);
void PlatLockLeave(ListLock *lock);

} // namespace slot_list::internal

#endif // SLOT_LIST_PLATFORM_LOCK_H
