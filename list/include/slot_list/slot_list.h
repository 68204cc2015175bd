/*
 * slot_list.h - a list of fixed-size elements kept in one contiguous heap block.
 *
 * The block is a ListBlock header followed by the slot area. The block grows by
 * GrowBy slots whenever an insert would fill its last slot; a deleted element
 * leaves an all-zero slot (a hole) in place, and once more than HoleLimit holes
 * have piled up the deletion squeezes them out in one compaction pass.
 *
 * A slot whose bytes are all zero is empty. Slot i (from 0) has position i + 1.
 *
 * Every operation takes the address of the caller's ListHandle, because an
 * insert that grows the block may move it and then stores the new address
 * there. Any slot address obtained earlier is invalid after such a move, after
 * a compaction and after ListDestroy. Writing into a slot after its element
 * was deleted is not supported: the list may not look at that slot again.
 * Nor is clearing a live element to all zero bytes: the list takes every
 * slot below its first hole to be live without looking.
 *
 * The list never prints, logs or sets an error code; failures are reported
 * through results only.
 *
 * Threads. Every operation reads the block's address from *handle before it
 * takes the list's lock, and an insert, delete, clear, compact, reserve or
 * sort may move or reshape the block meanwhile. So no call may run on a list
 * while another thread may be changing it: guard every call on a shared list
 * with one mutex of your own (or use SharedList<T> in C++). Calls that only
 * read (ListTraverse, ListFind, ListNext, ListSize) may run on one list from
 * several threads at once while no thread changes it. Distinct lists need no
 * care. The lock is recursive: it lets a callback read the list it was called
 * from.
 *
 * Callbacks (comparator, visitor, predicate, order) run on the caller's
 * thread, some of them under the list's lock. Each must return normally (a
 * C++ exception or a longjmp out of one leaves the lock held) and must not
 * insert into, delete from or otherwise change the list it was called from.
 *
 * Plain C99 and C++.
 */
#ifndef SLOT_LIST_H
#define SLOT_LIST_H

#include <stdint.h>

/* SLOT_LIST_API marks the functions a shared build exports. The library is
 * always compiled with hidden symbols. A shared build defines
 * SLOT_LIST_BUILDING for its own sources and hands SLOT_LIST_SHARED to its
 * users (the CMake target and the pkg-config file do so): default visibility,
 * or on Windows dllexport for the library and dllimport for its users. A
 * static build defines neither, so its List* functions stay hidden too: a
 * shared object that links the static library exports nothing of it. */
#if defined(_WIN32) || defined(__CYGWIN__)
#if defined(SLOT_LIST_BUILDING)
#define SLOT_LIST_API __declspec(dllexport)
#elif defined(SLOT_LIST_SHARED)
#define SLOT_LIST_API __declspec(dllimport)
#else
#define SLOT_LIST_API
#endif
#elif defined(__GNUC__) && (defined(SLOT_LIST_BUILDING) || defined(SLOT_LIST_SHARED))
#define SLOT_LIST_API __attribute__((visibility("default")))
#else
#define SLOT_LIST_API
#endif

/* The library's version; the build checks that it matches the CMake project's.
 * SLOT_LIST_VERSION is the three in one number, major * 10000 + minor * 100 +
 * patch (0.3.0 is 300), as ListVersion returns it. */
#define SLOT_LIST_VERSION_MAJOR 0
#define SLOT_LIST_VERSION_MINOR 3
#define SLOT_LIST_VERSION_PATCH 0
#define SLOT_LIST_VERSION                                                                          \
    (SLOT_LIST_VERSION_MAJOR * 10000 + SLOT_LIST_VERSION_MINOR * 100 + SLOT_LIST_VERSION_PATCH)

#ifdef __cplusplus
extern "C" {
#endif

/* Returns 0 when the two elements are equal, anything else when they differ.
 * The list never looks at the sign. */
typedef int32_t (*ListCompareProc)(const void *first, const void *second);

/* Called for each live element with its address, its 1-based position and
 * isEnd 0, and once at the end of a traversal with NULL, 0 and 1. */
typedef void (*ListVisitProc)(const void *element, uint32_t position, int isEnd);

/* Called by ListDeleteIf for each live element with its address, its 1-based
 * position and the caller's context; returns non-zero to delete it. */
typedef int (*ListMatchProc)(const void *element, uint32_t position, void *context);

/* Called by ListSort with two live elements and the caller's context: negative
 * when first goes before second, zero when they are equivalent, positive when
 * first goes after second, as for qsort. */
typedef int (*ListOrderProc)(const void *first, const void *second, void *context);

/* The list's recursive lock. It lives outside the block so that it stays valid
 * and held while a growth moves the block. */
typedef struct ListLock ListLock;

typedef struct ListBlock {
    ListCompareProc Compare;  /* given at creation, never changed */
    ListVisitProc Visit;      /* given at creation, never changed */
    uint32_t BlockSize;       /* bytes in the whole block, header included */
    uint32_t Count;           /* slots in use from the start: live elements and holes */
    uint32_t GrowBy;          /* capacity of a new list and slots added by each growth */
    uint32_t ElementSize;     /* bytes per element and per slot */
    uint32_t HoleCount;       /* holes left by deletions since the last compaction */
    uint32_t HoleLimit;       /* a deletion compacts once HoleCount exceeds this */
    unsigned char *FirstHole; /* lowest hole since the last compaction, NULL for none */
    ListLock *Lock;
} ListBlock; /* slots follow at (unsigned char *)block + sizeof(ListBlock) */

typedef ListBlock *ListHandle;

/*
 * Creates an empty list with room for growBy elements of elementSize bytes and
 * writes its address into *handleOut.
 *
 * Returns 1 on success. Returns 0, having allocated nothing and left
 * *handleOut unwritten, when handleOut, compare or visit is NULL, when growBy
 * or elementSize is 0, when the block size does not fit in 32 bits, or when
 * the block cannot be had. holeLimit may be 0.
 *
 * The block is had first. When the lock then cannot be had, the result is 0
 * and *handleOut unwritten too, and the block (with the lock's storage, if the
 * lock could not be made in it) is handed back to the heap; a block the heap
 * refuses to take back stays allocated, the heap's to keep, and no list uses
 * it again.
 */
SLOT_LIST_API int ListCreate(ListHandle *handleOut, ListCompareProc compare, ListVisitProc visit,
                             uint32_t growBy, uint32_t elementSize, uint32_t holeLimit);

/*
 * Appends a copy of the ElementSize bytes at element after the last used slot,
 * growing the block by GrowBy slots first when the insert would fill its last
 * slot; a growth may move the block, and the new address is stored in *handle.
 * Holes are never reused. element may point anywhere into the list's own
 * block, header included: the slot receives the bytes it held at the call,
 * although the growth moves them or rewrites the header.
 *
 * Returns 1 on success. Returns 0, with the list and *handle exactly as they
 * were, when handle, *handle or element is NULL, when the element's bytes are
 * all zero (it could not be told from a hole), when a size does not fit in
 * 32 bits, or when the block cannot be grown.
 */
SLOT_LIST_API int ListInsert(ListHandle *handle, const void *element);

/*
 * Appends copies of the count elements of ElementSize bytes each that lie one
 * after another at elements, in order, as count calls of ListInsert would,
 * but all or nothing: at most one growth, to the smallest multiple of GrowBy
 * slots that keeps the last slot empty, and one lock. elements may point into
 * the list's own block, header included, as ListInsert's element may.
 *
 * Returns 1 on success (count 0 inserts nothing). Returns 0, with the list
 * and *handle exactly as they were, when handle, *handle or elements is NULL,
 * when any of the elements is all zero bytes, when a size does not fit in 32
 * bits, or when the block cannot be grown.
 */
SLOT_LIST_API int ListInsertMany(ListHandle *handle, const void *elements, uint32_t count);

/*
 * Calls the visitor for every live element in slot order with its position,
 * holes using up positions, then once more with (NULL, 0, 1). Runs under the
 * list's lock; the visitor may traverse or search the same list but must not
 * change it.
 *
 * Does nothing when handle or *handle is NULL.
 */
SLOT_LIST_API void ListTraverse(ListHandle *handle);

/*
 * Compares the key (first) with every live slot (second) in slot order.
 *
 * Returns the address of the last matching slot, or NULL when none matches or
 * when handle, *handle or key is NULL. The address is valid until the next
 * growth, compaction, clear, sort or ListDestroy. Takes no lock: safe only
 * while no other thread changes the list. The comparator must not change the
 * list.
 */
SLOT_LIST_API void *ListFind(ListHandle *handle, const void *key);

/*
 * Walks the live elements without a callback: finds the first live slot whose
 * position is *position or later (positions count from 1; 0 reads as 1),
 * writes its position into *position and returns its address. To visit every
 * live element in slot order:
 *
 *     uint32_t position = 1;
 *     for (void *e; (e = ListNext(&list, &position)) != NULL; position++) ...
 *
 * Returns NULL, with *position unwritten, when no live slot is at or after
 * *position, or when handle, *handle or position is NULL. The address is valid
 * as ListFind's is. Takes no lock: safe only while no other thread changes
 * the list. A slot below the first hole, or one whose first byte is not
 * zero, is returned without a scan.
 */
SLOT_LIST_API void *ListNext(ListHandle *handle, uint32_t *position);

/*
 * Clears the first live slot that the comparator calls equal to the key (slot
 * first, key second), leaving a hole in place. When the holes then exceed
 * HoleLimit, squeezes them out in one compaction pass, which moves the slots
 * above each hole down and lowers Count. Runs under the list's lock; the
 * comparator must not change the list.
 *
 * Returns 1 when an element was deleted. Returns 0 with the list unchanged
 * when handle, *handle or key is NULL or when no live slot matches.
 * Compaction works in place and needs no memory; it can only fail when the
 * header no longer matches the slots (HoleCount above the number of empty
 * slots from FirstHole up, which the list itself never leaves). The result is
 * then 0: the deletion stands, the empty slots found are removed, and the
 * holes still counted stay so.
 */
SLOT_LIST_API int ListDelete(ListHandle *handle, const void *key);

/*
 * Clears the live element at *position (positions count from 1, holes using
 * them up), leaving a hole in place, as ListDelete clears a match: when the
 * holes then exceed HoleLimit, squeezes them out in one compaction pass. Runs
 * under the list's lock and calls no comparator. Unless a compaction is due
 * its cost does not grow with the position or the list's length (amortised
 * over the deletions since the last compaction).
 *
 * On success writes into *position the position at which a walk goes on: the
 * slot that followed the deleted one, renumbered when a compaction ran (or the
 * first slot after it that stayed, when the compaction removed that one); it
 * may be past Count. So this loop visits every live element exactly once:
 *
 *     uint32_t p = 1;
 *     for (void *e; (e = ListNext(&list, &p)) != NULL;)
 *         if (drop(e)) ListDeleteAt(&list, &p); else p++;
 *
 * Returns 1 when the element was deleted. Returns 0, with the list unchanged
 * and *position unwritten, when handle, *handle or position is NULL, or when
 * *position is 0, past Count or a hole. A compaction that fails, as
 * ListDelete's can, makes the result 0 too: the deletion stands and *position
 * is written all the same.
 */
SLOT_LIST_API int ListDeleteAt(ListHandle *handle, uint32_t *position);

/*
 * Walks the live elements once in slot order, calling match with each one's
 * address, its position (as it was before this call: nothing moves during the
 * walk) and context, and clears each element for which match returns
 * non-zero, leaving a hole in place. Once the walk is done, compacts once if
 * the holes then exceed HoleLimit. Runs under the list's lock and calls no
 * comparator; match may traverse or search the list but must not insert into
 * it or delete from it.
 *
 * Returns how many elements it deleted. Returns 0, without calling match and
 * with the list unchanged, when handle, *handle or match is NULL. A compaction
 * that fails, as ListDelete's can, leaves the deletions standing and the count
 * is still theirs.
 */
SLOT_LIST_API uint32_t ListDeleteIf(ListHandle *handle, ListMatchProc match, void *context);

/*
 * Empties the list: every used slot back to all zero bytes, no element and no
 * hole left, the block and its capacity kept. Runs under the list's lock.
 * Earlier slot addresses stay inside the block but no longer hold elements.
 *
 * Returns 1. Returns 0, with nothing changed, when handle or *handle is NULL.
 */
SLOT_LIST_API int ListClear(ListHandle *handle);

/*
 * Squeezes every hole out now, as the compaction of a deletion does: in place,
 * the live elements keep their order and move down to positions 1 to their
 * number, the slots past the new Count are all zero, no hole is left. Runs
 * under the list's lock; earlier slot addresses are invalid afterwards.
 *
 * Returns 1, also when there was no hole. Returns 0, with nothing changed,
 * when handle or *handle is NULL; and as ListDelete's compaction can, when
 * the header no longer matches the slots.
 */
SLOT_LIST_API int ListCompact(ListHandle *handle);

/*
 * Grows the block at most once, in whole steps of GrowBy slots, to the
 * smallest capacity that lets count more single inserts run without growing
 * (the last slot still never filled); does nothing when the room is there
 * already. Holes do not count as room: inserts never reuse them. A growth may
 * move the block, and the new address is stored in *handle. Runs under the
 * list's lock.
 *
 * Returns 1. Returns 0, with the list and *handle exactly as they were, when
 * handle or *handle is NULL, when the size needed does not fit in 32 bits, or
 * when the block cannot be grown.
 */
SLOT_LIST_API int ListReserve(ListHandle *handle, uint32_t count);

/*
 * Squeezes the holes out and puts the live elements in the order order gives
 * (called as order(first, second, context) on two live slots), stably:
 * elements that order calls equivalent keep the order they had, since one is
 * put before an element ahead of it only when order(ahead, it, context) is
 * positive. Positions are renumbered from 1 and the slots past the new Count
 * are all zero. Runs under the list's lock; order must not change the list.
 * Takes one scratch block from the heap, of 8 + ElementSize bytes per live
 * element, for the time of the call (none for fewer than two elements).
 * Earlier slot addresses are invalid afterwards.
 *
 * Returns 1. Returns 0, with the list exactly as it was, when handle, *handle
 * or order is NULL, when the scratch size does not fit in 32 bits, or when the
 * heap refuses the scratch block. Returns 0 too, with the list sorted all the
 * same, when the heap refuses to take the scratch block back (the heap's to
 * keep then).
 */
SLOT_LIST_API int ListSort(ListHandle *handle, ListOrderProc order, void *context);

/*
 * Returns the number of live elements (Count less the holes), or 0 when handle
 * or *handle is NULL. Takes no lock: safe only while no other thread changes
 * the list.
 */
SLOT_LIST_API uint32_t ListSize(ListHandle *handle);

/*
 * Releases the list: its block and its lock. Takes no lock; no other operation
 * may run on the list meanwhile.
 *
 * Returns non-zero on success and writes NULL into *handle. Returns 0 when
 * handle or *handle is NULL, or when the heap refuses to release the block; the
 * list is then unchanged and still usable. If the block was released but the
 * lock's storage could not be, the result is 0 too and *handle is NULL: the
 * list is gone.
 */
SLOT_LIST_API int ListDestroy(ListHandle *handle);

/*
 * The heap every list takes its memory from. Alloc returns size (> 0) bytes,
 * all zero, or NULL. ReAlloc resizes a block from Alloc to newSize (> 0)
 * bytes, possibly moving it; the contents survive up to the smaller size and
 * every byte past the old size reads as zero; on failure it returns NULL and
 * the block stays valid and unchanged. Free releases a block from Alloc (or
 * NULL, as an empty release) and returns non-zero; 0 means it refused, and the
 * block then stays valid. Alloc and ReAlloc return blocks aligned as malloc
 * aligns them: the list keeps pointers and its lock in them. The list never
 * calls them with size 0.
 */
typedef struct ListHeapMethods {
    void *(*Alloc)(uint32_t size);
    void *(*ReAlloc)(void *block, uint32_t newSize);
    int (*Free)(void *block);
} ListHeapMethods;

/*
 * Puts methods behind every list (their copy: the struct need not outlive the
 * call), or the library's own heap again when methods is NULL. Every block
 * goes back to the heap it came from, so change heaps only while no list is
 * alive, or to a heap that passes the current one's blocks on to it. Not
 * thread-safe: call it while no other thread uses any list.
 *
 * Returns 1. Returns 0, with the heap unchanged, when one of the three
 * functions is NULL.
 */
SLOT_LIST_API int ListSetHeap(const ListHeapMethods *methods);

/* Copies the methods now behind the lists into *methods (nothing when methods
 * is NULL); they may be called directly, for a heap that wraps them. */
SLOT_LIST_API void ListGetHeap(ListHeapMethods *methods);

/*
 * The version of the library the program runs with, which may be newer than
 * the header it was compiled against when the library is shared: major * 10000
 * + minor * 100 + patch, as SLOT_LIST_VERSION. Never fails; any thread may
 * call it at any time.
 */
SLOT_LIST_API uint32_t ListVersion(void);

/*
 * The same version as text, "major.minor.patch" in decimal ("0.3.0"): a
 * zero-terminated string that lives as long as the library and must not be
 * written to. Never fails and never returns NULL; any thread may call it at
 * any time.
 */
SLOT_LIST_API const char *ListVersionString(void);

#ifdef __cplusplus
}
#endif

#endif /* SLOT_LIST_H */
