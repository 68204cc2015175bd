/* An installed-package consumer in plain C99: builds a list of integers through
 * the public header and exits non-zero when any result is not what the list
 * promises. */
#include <stdio.h>
#include <string.h>

#include <slot_list/slot_list.h>

static int32_t CompareInts(const void *first, const void *second) {
    return memcmp(first, second, sizeof(int32_t)) != 0;
}

static int32_t VisitedSum;

static void SumInts(const void *element, uint32_t position, int isEnd) {
    int32_t value;
    (void)position;
    if (!isEnd) {
        memcpy(&value, element, sizeof value);
        VisitedSum += value;
    }
}

int main(void) {
    ListHandle list = NULL;
    int32_t value;
    int failures = 0;

    if (!ListCreate(&list, CompareInts, SumInts, 2, sizeof(int32_t), 1)) {
        fprintf(stderr, "ListCreate failed\n");
        return 1;
    }
    for (value = 1; value <= 5; value++) {
        failures += !ListInsert(&list, &value);
    }
    value = 3;
    failures += !ListDelete(&list, &value);
    failures += ListFind(&list, &value) != NULL;
    value = 4;
    failures += ListFind(&list, &value) == NULL;
    ListTraverse(&list);
    failures += VisitedSum != 1 + 2 + 4 + 5;
    failures += !ListDestroy(&list);
    failures += list != NULL;

    printf("C consumer: %s\n", failures == 0 ? "ok" : "FAILED");
    return failures == 0 ? 0 : 1;
}
