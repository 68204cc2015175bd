// The library's version at run time, for a program to compare with the
// header it was built against.

#include <slot_list/slot_list.h>

// The text comes from the same macros as the number, so the two cannot part.
#define SLOT_LIST_TEXT_OF(value) #value
#define SLOT_LIST_DIGITS(value) SLOT_LIST_TEXT_OF(value)

uint32_t ListVersion(void) {
    return SLOT_LIST_VERSION;
}

const char *ListVersionString(void) {
    return SLOT_LIST_DIGITS(SLOT_LIST_VERSION_MAJOR) "." SLOT_LIST_DIGITS(
        SLOT_LIST_VERSION_MINOR) "." SLOT_LIST_DIGITS(SLOT_LIST_VERSION_PATCH);
}
