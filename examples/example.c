#include <stdio.h>

#include <slot_list/slot_list.h>

typedef struct {
    int id; /* never 0: a slot whose bytes are all zero is a hole */
    char name[12];
} Fruit;

static int32_t SameId(const void *a, const void *b) {
    return ((const Fruit *)a)->id != ((const Fruit *)b)->id;
}

static void Show(const void *fruit, uint32_t position, int isEnd) {
    if (!isEnd) {
        printf("%u: %s\n", (unsigned)position, ((const Fruit *)fruit)->name);
    }
}

int main(void) {
    ListHandle list = NULL;
    Fruit apple = {1, "apple"}, pear = {2, "pear"};

    /* 16 slots, growing by 16; compaction once more than 4 holes pile up */
    if (!ListCreate(&list, SameId, Show, 16, sizeof(Fruit), 4)) {
        return 1;
    }
    ListInsert(&list, &apple);
    ListInsert(&list, &pear);
    ListDelete(&list, &apple); /* leaves a hole at position 1 */
    ListTraverse(&list);       /* prints "2: pear" */
    if (ListFind(&list, &apple) == NULL) {
        puts("apple is gone");
    }
    ListDestroy(&list);
    return 0;
}
