// The block header on 32-bit targets: nine 4-byte fields in this order, then
// the lock reference, 40 bytes in all. Compiled only for such targets.

#include <cstddef>

#include <slot_list/slot_list.h>

static_assert(sizeof(void *) == 4, "this check is for 32-bit targets");

static_assert(offsetof(ListBlock, Compare) == 0, "Compare");
static_assert(offsetof(ListBlock, Visit) == 4, "Visit");
static_assert(offsetof(ListBlock, BlockSize) == 8, "BlockSize");
static_assert(offsetof(ListBlock, Count) == 12, "Count");
static_assert(offsetof(ListBlock, GrowBy) == 16, "GrowBy");
static_assert(offsetof(ListBlock, ElementSize) == 20, "ElementSize");
static_assert(offsetof(ListBlock, HoleCount) == 24, "HoleCount");
static_assert(offsetof(ListBlock, HoleLimit) == 28, "HoleLimit");
static_assert(offsetof(ListBlock, FirstHole) == 32, "FirstHole");
static_assert(offsetof(ListBlock, Lock) == 36, "Lock");
static_assert(sizeof(ListBlock) == 40, "header size");
