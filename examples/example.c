#include <stdio.h>

#include "slot_list.h"

typedef struct {
    int id; /* never 0: a slot whose bytes are all zero is a hole */
    char name[12];
} Fruit;

static int32_t SameId(const void *a, const void *b) {
    return ((const Fruit *)a)->id != ((const Fruit *)b)->id;
}

static void Show(const void *element, uint32_t position, int isEnd) {
    if (!isEnd) {
        printf("%u: %s\n", (unsigned)position, ((const Fruit *)element)->name);
    }
}

int main(void) {
    ListHandle list = NULL;
    Fruit apple = {1, "apple"}, pear = {2, "pear"}, key = {2, ""};
    Fruit *found;

    /* Room for 16 fruits, growing by 16; compacts once more than 4 holes pile up. */
    if (!ListCreate(&list, SameId, Show, 16, sizeof(Fruit), 4)) {
        return 1;
    }
    ListInsert(&list, &apple);
    ListInsert(&list, &pear);
    ListDelete(&list, &apple); /* leaves a hole at position 1 */
    found = ListFind(&list, &key);
    printf("found: %s\n", found ? found->name : "nothing");
    ListTraverse(&list); /* prints "2: pear" */
    return ListDestroy(&list) ? 0 : 1;
}
