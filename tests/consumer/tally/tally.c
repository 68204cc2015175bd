/* The static half of Tally: a slot list of the values seen so far. */
#include "tally.h"

#include <string.h>

#include <slot_list/slot_list.h>

static int32_t SameValue(const void *first, const void *second) {
    return memcmp(first, second, sizeof(int32_t)) != 0;
}

static void Ignore(const void *value, uint32_t position, int isEnd) {
    (void)value;
    (void)position;
    (void)isEnd;
}

int32_t TallyDistinct(const int32_t *values, uint32_t count) {
    ListHandle seen = NULL;
    int32_t distinct = 0;
    uint32_t i;
    if (!ListCreate(&seen, SameValue, Ignore, 4, sizeof(int32_t), 4)) {
        return -1;
    }
    for (i = 0; i < count && distinct >= 0; i++) {
        if (values[i] != 0 && ListFind(&seen, &values[i]) == NULL) {
            distinct = ListInsert(&seen, &values[i]) ? distinct + 1 : -1;
        }
    }
    ListDestroy(&seen);
    return distinct;
}
