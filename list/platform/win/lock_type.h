// lock_type.h (Windows) - what a ListLock is here: a critical section. Apart
// from platform_lock.h so that only the files that need <windows.h> get it.
#ifndef SLOT_LIST_LOCK_TYPE_H
#define SLOT_LIST_LOCK_TYPE_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

struct ListLock {
    CRITICAL_SECTION Section;
};

#endif // SLOT_LIST_LOCK_TYPE_H
