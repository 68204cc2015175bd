/* An installed-package consumer in plain C99: builds a list of integers through
 * the public header and exits non-zero when any result is not what the list
 * promises. It has functions of its own named like the library's internals,
 * which must not clash with them at link time. */
#include <stdio.h>
#include <string.h>

#include <slot_list/slot_list.h>

static int32_t CompareInts(const void *first, const void *second) {
    return memcmp(first, second, sizeof(int32_t)) != 0;
}

static int32_t VisitedSum;

/* A program's own heap wrapper, under a name the library used to take. */
static uint32_t Allocations;
static ListHeapMethods LibraryHeap;
void *MemAlloc(uint32_t size) {
    Allocations++;
    return LibraryHeap.Alloc(size);
}

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

    ListHeapMethods counted;
    ListGetHeap(&LibraryHeap);
    counted = LibraryHeap;
    counted.Alloc = MemAlloc;
    failures += !ListSetHeap(&counted);

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
    {
        uint32_t position = 1;
        int32_t walkedSum = 0;
        void *element;
        for (; (element = ListNext(&list, &position)) != NULL; position++) {
            memcpy(&value, element, sizeof value);
            walkedSum += value;
        }
        failures += walkedSum != VisitedSum;
    }
    failures += Allocations == 0;
    failures += !ListDestroy(&list);
    failures += list != NULL;
    failures += !ListSetHeap(NULL);

    printf("C consumer: %s\n", failures == 0 ? "ok" : "FAILED");
    return failures == 0 ? 0 : 1;
}
