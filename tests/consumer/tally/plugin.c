/* The plugin half of Tally: a shared object whose only export is
 * TallyPluginDistinct. It links the static slot list, whose functions must
 * not become exports of the plugin. It counts by ListSize, unlike tally.c. */
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

int32_t TallyPluginDistinct(const int32_t *values, uint32_t count) {
    ListHandle seen = NULL;
    int32_t distinct;
    uint32_t i;
    if (!ListCreate(&seen, SameValue, Ignore, 4, sizeof(int32_t), 4)) {
        return -1;
    }
    for (i = 0; i < count; i++) {
        if (values[i] != 0 && ListFind(&seen, &values[i]) == NULL &&
            !ListInsert(&seen, &values[i])) {
            ListDestroy(&seen);
            return -1;
        }
    }
    distinct = (int32_t)ListSize(&seen);
    ListDestroy(&seen);
    return distinct;
}
