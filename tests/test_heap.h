// A heap for tests: fails chosen calls, can move every growth, runs a hook
// inside a growth and counts the blocks it has handed out; below it, where
// the tests reach the library's internals (SLOT_LIST_TEST_INTERNALS, a static
// build), fails chosen system calls of the pages that large blocks get. Free
// of GoogleTest so that the fuzz target uses it too.
#ifndef SLOT_LIST_TEST_HEAP_H
#define SLOT_LIST_TEST_HEAP_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>

#include <slot_list/slot_list.h>

#if SLOT_LIST_TEST_INTERNALS
#include "platform/platform.h"
#endif

namespace testing_support {

// Which heap calls fail: call FailAt (1-based, counted from Arm) and, with
// Every, all calls after it. FailAt 0 fails none.
struct FailurePlan {
    uint64_t Calls = 0;
    uint64_t FailAt = 0;
    bool Every = false;
    uint64_t Failures = 0; // since construction

    void Arm(uint64_t failAt, bool every) {
        Calls = 0;
        FailAt = failAt;
        Every = every;
    }
    // Counts one call; true when it is to fail.
    bool Fails() {
        Calls++;
        bool fail = FailAt != 0 && (Calls == FailAt || (Every && Calls > FailAt));
        Failures += fail ? 1 : 0;
        return fail;
    }
};

// Puts itself behind the lists (ListSetHeap) for its lifetime, wrapping the heap
// that was there. Only one may live at a time; not thread-safe.
class TestHeap {
  public:
    TestHeap();
    ~TestHeap();
    TestHeap(const TestHeap &) = delete;
    TestHeap &operator=(const TestHeap &) = delete;

    // Fails call number n (1-based) counted from now; with every, also all
    // calls after it. A failed Alloc or ReAlloc returns NULL, a failed Free
    // returns 0; none of them touches any block.
    void FailAt(uint64_t n, bool every = false) { plan_.Arm(n, every); }
    void FailNone() { FailAt(0); }
    // Makes each growth move the block (new address, old one dirtied and
    // released).
    void MoveOnGrowth(bool move) { move_ = move; }
    // Runs hook with the grown block's address after each successful growth,
    // before the growth returns to the list.
    void OnGrowth(std::function<void(void *grown)> hook) { onGrowth_ = std::move(hook); }

    uint64_t Calls() const { return plan_.Calls; }
    uint64_t Failures() const { return plan_.Failures; }
    // Blocks handed out and not released.
    size_t Outstanding() const { return live_.size(); }

#if SLOT_LIST_TEST_INTERNALS
    // The same for the system calls behind large blocks (reserve, commit,
    // extend, release): a failed one returns NULL or 0 and does nothing.
    void FailSystemAt(uint64_t n, bool every = false) {
        system_.Arm(n, every);
    }
    // Offers the heap what Windows offers: pages to commit as they are needed
    // (a commit the system does not need succeeds without it) and no way to
    // extend a reservation, so that those paths run on every system.
    void CommitAsNeeded();
    uint64_t SystemCalls() const {
        return system_.Calls;
    }
    // Reservations taken from the system and not given back.
    size_t OutstandingMappings() const {
        return mappings_.size();
    }
    uint64_t SystemFailures() const {
        return system_.Failures;
    }
#endif

  private:
    static void *Alloc(uint32_t size);
    static void *ReAlloc(void *block, uint32_t newSize);
    static int Free(void *block);
#if SLOT_LIST_TEST_INTERNALS
    static void *Reserve(size_t size);
    static int Commit(void *address, size_t size);
    static void *Extend(void *address, size_t oldSize, size_t newSize);
    static int Release(void *address, size_t size);
    void ExpectReservation(void *address, size_t size, bool whole) const;
    void ExpectCommitted(const void *block, uint32_t size) const;

    slot_list::internal::PlatMapCalls innerMap_{};
    std::map<void *, size_t> mappings_;
    std::map<void *, size_t> committed_; // bytes committed from each reservation's start
    bool commits_ = false;               // pages must be committed before use
    FailurePlan system_;
#endif
    ListHeapMethods inner_{};
    std::map<void *, uint32_t> live_;
    std::function<void(void *)> onGrowth_;
    FailurePlan plan_;
    bool move_ = false;
};

} // namespace testing_support

#endif // SLOT_LIST_TEST_HEAP_H
