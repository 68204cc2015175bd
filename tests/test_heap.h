// A heap for tests: fails chosen calls, can move every growth, runs a hook
// inside a growth and counts the blocks it has handed out. Beneath it is the
// library's own heap, on the C heap through a layer that fails chosen calls
// of its own. Free of GoogleTest so that the fuzz target uses it too.
#ifndef SLOT_LIST_TEST_HEAP_H
#define SLOT_LIST_TEST_HEAP_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>

#include <slot_list/slot_list.h>

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

// Puts itself behind the lists (ListSetHeap) for its lifetime, and the heap
// that was there back afterwards. Only one may live at a time; not
// thread-safe.
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
    // Calls failed since construction, the C heap's included.
    uint64_t Failures() const { return plan_.Failures + system_.Failures; }
    // Blocks handed out and not released.
    size_t Outstanding() const { return live_.size(); }

    // The same for the calls of the C heap beneath the library's heap (a
    // growth past a block's capacity makes one, and a second at the exact
    // size when the first is refused).
    void FailSystemAt(uint64_t n, bool every = false) { system_.Arm(n, every); }
    uint64_t SystemCalls() const { return system_.Calls; }
    // C heap blocks handed out and not released.
    size_t OutstandingSystem() const { return systemLive_; }

  private:
    static void *Alloc(uint32_t size);
    static void *ReAlloc(void *block, uint32_t newSize);
    static int Free(void *block);

    FailurePlan system_;
    size_t systemLive_ = 0;
    ListHeapMethods previous_{};
    ListHeapMethods inner_{};
    std::map<void *, uint32_t> live_;
    std::function<void(void *)> onGrowth_;
    FailurePlan plan_;
    bool move_ = false;
};

} // namespace testing_support

#endif // SLOT_LIST_TEST_HEAP_H
