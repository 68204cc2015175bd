// Every heap call an operation makes, failed in turn from every starting state
// that matters: first one call at a time, then that call and every later one.
// After each failure the list must be exactly what its contract says, its lock
// free, and nothing leaked once it is destroyed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "helpers.h"
#include <slot_list/slot_list.h>

using namespace testing_support;

namespace {

Keys Concat(Keys keys, const Keys &more) {
    keys.insert(keys.end(), more.begin(), more.end());
    return keys;
}

// What the sweep did, reported once the whole run ends.
struct Totals {
    uint64_t FailurePoints = 0;
    uint64_t StateChecks = 0;
    uint64_t Runs = 0;
} Sweep;

class SweepReport : public ::testing::Environment {
    void TearDown() override {
        if (Sweep.Runs == 0) {
            return;
        }
        std::printf("[ sweep    ] %llu runs, %llu failure points, %llu state checks\n",
                    static_cast<unsigned long long>(Sweep.Runs),
                    static_cast<unsigned long long>(Sweep.FailurePoints),
                    static_cast<unsigned long long>(Sweep.StateChecks));
    }
};
const ::testing::Environment *const Report = ::testing::AddGlobalTestEnvironment(new SweepReport);

// One counted state check.
template <typename Expected, typename Actual>
void CheckEq(const Expected &expected, const Actual &actual, const std::string &what) {
    Sweep.StateChecks++;
    EXPECT_EQ(expected, actual) << what;
}

enum class Op {
    Create,
    Insert,
    InsertOwnSlot,
    Delete,
    DeleteAt,
    DeleteIf,
    Traverse,
    Find,
    Reserve,
    Sort,
    Destroy
};

struct Case {
    const char *Name;
    Op Operation;
    // The starting list: created with these, then Inserted put in and Deleted
    // taken out. Nothing for Create.
    uint32_t GrowBy, ElementSize, HoleLimit;
    Keys Inserted, Deleted;
    bool MoveOnGrowth;
    uint32_t Key;       // inserted, deleted (DeleteAt: its position) or looked for
    Keys After;         // slot keys once the operation has succeeded
    uint64_t HeapCalls; // heap calls of a run with no failure
    // The C heap's calls in such a run, beneath the library's heap: a growth
    // within the block's capacity makes none.
    uint64_t SystemCalls;
    // A growth past the capacity asks the C heap for twice the capacity and,
    // when refused, for the exact size: that call's failure alone is absorbed
    // (0: no such call).
    uint64_t Absorbed = 0;
};

// Which calls a sweep fails: the heap's, or the C heap's beneath the library's
// own heap.
enum class Layer { Heap, System };

std::ostream &operator<<(std::ostream &out, const Case &c) {
    return out << c.Name;
}

// The visible state of a list: its handle and every byte of its block.
struct State {
    ListHandle Handle;
    std::vector<unsigned char> Bytes;
};

class OomSweep : public ::testing::TestWithParam<std::tuple<Case, bool, Layer>> {
  protected:
    const Case &C() const { return std::get<0>(GetParam()); }
    bool Every() const { return std::get<1>(GetParam()); }
    bool System() const { return std::get<2>(GetParam()) != Layer::Heap; }

    ListHandle Start() {
        if (C().Operation == Op::Create) {
            return Sentinel();
        }
        ListHandle handle = MakeList(C().GrowBy, C().ElementSize, C().HoleLimit);
        InsertKeys(&handle, C().Inserted);
        for (uint32_t key : C().Deleted) {
            EXPECT_EQ(1, DeleteKey(&handle, key)) << key;
        }
        return handle;
    }

    // What a create that fails must leave in the handle.
    static ListHandle Sentinel() { return reinterpret_cast<ListHandle>(&Sweep); }

    int Run(ListHandle *handle) {
        std::vector<unsigned char> element = Element(C().ElementSize, C().Key);
        switch (C().Operation) {
        case Op::Create:
            return ListCreate(handle, CompareKeys, RecordVisit, C().GrowBy, C().ElementSize,
                              C().HoleLimit);
        case Op::Insert:
            return ListInsert(handle, element.data());
        case Op::InsertOwnSlot:
            return ListInsert(handle, ListFind(handle, element.data()));
        case Op::Delete:
            return ListDelete(handle, element.data());
        case Op::DeleteAt: {
            uint32_t position = C().Key;
            return ListDeleteAt(handle, &position);
        }
        case Op::DeleteIf:
            return static_cast<int>(ListDeleteIf(
                handle,
                [](const void *slot, uint32_t, void *key) {
                    return static_cast<int>(KeyOf(slot) == KeyOf(key));
                },
                element.data()));
        case Op::Traverse:
            Visits.clear();
            ListTraverse(handle);
            return static_cast<int>(Visits.size());
        case Op::Find:
            return ListFind(handle, element.data()) != nullptr;
        case Op::Reserve:
            return ListReserve(handle, C().Key);
        case Op::Sort:
            return ListSort(handle, OrderByKey, nullptr);
        case Op::Destroy:
            return ListDestroy(handle);
        }
        return -1;
    }

    // The list and the handle are exactly as before, the lock free.
    void CheckUnchanged(const State &before, ListHandle handle, const std::string &where) {
        CheckEq(before.Handle, handle, where + " handle");
        if (handle == nullptr) {
            return;
        }
        // Every byte, the header's included.
        CheckEq(before.Bytes, Snapshot(handle), where + " every byte");
        CheckEq(true, LockIsFree(handle->Lock), where + " lock free");
    }

    // The operation succeeded: the slots are as the case says, the lock free.
    void CheckDone(int result, ListHandle handle, const std::string &where) {
        Op op = C().Operation;
        if (op == Op::Destroy) {
            CheckEq(true, result != 0, where + " result");
            CheckEq(nullptr, handle, where + " handle");
            return;
        }
        if (op == Op::Traverse) {
            size_t live = C().After.size() - std::count(C().After.begin(), C().After.end(), 0u);
            CheckEq(live + 1, static_cast<size_t>(result), where + " visits");
        } else {
            CheckEq(1, result, where + " result");
        }
        CheckEq(C().After, SlotKeys(handle), where + " slots");
        CheckEq(true, LockIsFree(handle->Lock), where + " lock free");
        if (op == Op::Create) {
            CheckEq(C().GrowBy, Capacity(handle), where + " capacity");
            CheckEq(nullptr, handle->FirstHole, where + " FirstHole");
            CheckEq(0u, handle->HoleCount, where + " HoleCount");
        }
    }

    // The contract of a failed call numbered failed (1-based) within the run.
    void CheckFailed(uint64_t failed, int result, const State &before, ListHandle handle,
                     const std::string &where) {
        CheckEq(0, result, where + " result");
        switch (C().Operation) {
        case Op::Create:
            CheckEq(Sentinel(), handle, where + " handle unwritten");
            break;
        case Op::Insert:
        case Op::InsertOwnSlot:
        case Op::Reserve:
            CheckUnchanged(before, handle, where);
            break;
        case Op::Sort:
            if (failed == 1) {
                CheckUnchanged(before, handle, where);
            } else {
                // Only the scratch block was refused back: the sort stands.
                CheckEq(C().After, SlotKeys(handle), where + " slots");
                CheckEq(true, LockIsFree(handle->Lock), where + " lock free");
            }
            break;
        case Op::Destroy:
            if (failed == 1) {
                // The block was refused: the list is untouched and usable.
                CheckUnchanged(before, handle, where);
            } else {
                // Only the lock's storage was refused: the list is gone.
                CheckEq(nullptr, handle, where + " handle");
            }
            break;
        default:
            ADD_FAILURE() << where << ": this operation makes no heap call";
        }
    }
};

TEST_P(OomSweep, LeavesWhatTheContractSays) {
    for (uint64_t n = 1;; n++) {
        ASSERT_LE(n, 8u) << C().Name << ": more heap calls than any operation makes";
        std::string where = std::string(C().Name) + (System() ? ", system" : ", heap") +
                            (Every() ? " failing from call " : " failing call ") +
                            std::to_string(n);
        TestHeap heap;
        // A move the test heap makes itself would put C heap calls of its
        // own into the system sweep.
        heap.MoveOnGrowth(C().MoveOnGrowth && !System());
        bool clean = !HasFailure();
        ListHandle handle = Start();
        if (clean && HasFailure()) {
            FAIL() << where << ": the starting list could not be built";
        }
        // Before a create the handle holds a sentinel, not a list.
        State before{handle,
                     C().Operation == Op::Create ? std::vector<unsigned char>{} : Snapshot(handle)};
        uint64_t failuresBefore = heap.Failures();
        if (System()) {
            heap.FailSystemAt(n, Every());
        } else {
            heap.FailAt(n, Every());
        }
        int result = Run(&handle);
        uint64_t calls = System() ? heap.SystemCalls() : heap.Calls();
        bool injected = heap.Failures() != failuresBefore;
        heap.FailNone();
        heap.FailSystemAt(0);
        Sweep.Runs++;

        if (!injected) {
            // The sweep has passed the operation's last call.
            CheckEq(System() ? C().SystemCalls : C().HeapCalls, calls, where + " calls");
            CheckEq(n, calls + 1, where + " every call failed once");
            CheckDone(result, handle, where);
        } else if (System() && !Every() && n == C().Absorbed) {
            // The doubled capacity was refused and the exact size given.
            CheckEq(C().SystemCalls + 1, calls, where + " calls");
            CheckDone(result, handle, where);
        } else {
            Sweep.FailurePoints++;
            // The first injected failure is call n; later ones, if any, follow it.
            CheckFailed(n, result, before, handle, where);
            if (C().Operation == Op::Destroy && n > 1) {
                CheckEq(size_t{1}, heap.Outstanding(), where + " lock storage kept by the heap");
                continue;
            }
            if (C().Operation == Op::Sort && n > 1) {
                CheckEq(true, ListDestroy(&handle) != 0, where + " destroy");
                CheckEq(size_t{1}, heap.Outstanding(), where + " scratch kept by the heap");
                continue;
            }
            if (C().Operation == Op::Create && n > 1 && Every()) {
                // The lock could not be had and the heap, failing every call,
                // refused the block back too: it is the heap's to keep.
                CheckEq(size_t{1}, heap.Outstanding(), where + " block kept by the heap");
                continue;
            }
            if (handle != nullptr && handle != Sentinel()) {
                // The same call goes through once the heap gives.
                int retried = Run(&handle);
                CheckDone(retried, handle, where + ", retried");
            }
        }
        if (handle != nullptr && handle != Sentinel()) {
            CheckEq(true, ListDestroy(&handle) != 0, where + " destroy");
        }
        CheckEq(size_t{0}, heap.Outstanding(), where + " outstanding blocks");
        CheckEq(size_t{0}, heap.OutstandingSystem(), where + " outstanding C heap blocks");
        if (!injected) {
            break;
        }
    }
}

const Keys Large = KeyRange(1, 699); // capacity 700 with GrowBy 7: the next insert grows
// With 4096-byte elements and GrowBy 8 the block's capacity doubles as it
// grows past it: the 16th insert grows past it, the 24th within it.
const Keys LargePast = KeyRange(1, 15);
const Keys LargeWithin = KeyRange(1, 23);

// clang-format off
const Case Cases[] = {
    // Name, operation, GrowBy, ElementSize, HoleLimit, Inserted, Deleted, MoveOnGrowth, Key, After, HeapCalls, SystemCalls, Absorbed
    {"create", Op::Create, 2, 16, 1, {}, {}, false, 0, {}, 2, 2},
    {"create large", Op::Create, 4096, 256, 0, {}, {}, false, 0, {}, 2, 2},
    {"insert into empty list", Op::Insert, 2, 16, 1, {}, {}, false, 9, {9}, 0, 0},
    {"insert into spare capacity", Op::Insert, 4, 16, 1, {1, 2}, {}, false, 9, {1, 2, 9}, 0, 0},
    {"insert growing in place", Op::Insert, 2, 16, 1, {1}, {}, false, 9, {1, 9}, 1, 1, 1},
    {"insert growing with a move", Op::Insert, 2, 16, 1, {1}, {}, true, 9, {1, 9}, 1, 1, 1},
    {"insert growBy 1 into empty list", Op::Insert, 1, 8, 0, {}, {}, true, 9, {9}, 1, 1, 1},
    {"insert growing, holes carried", Op::Insert, 2, 32, 5, {1, 2, 3}, {2}, true, 9, {1, 0, 3, 9}, 1, 1, 1},
    {"insert own slot, moving", Op::InsertOwnSlot, 2, 32, 1, {1, 5, 3}, {}, true, 5, {1, 5, 3, 5}, 1, 1, 1},
    {"insert into large list, moving", Op::Insert, 7, 24, 3, Large, {}, true, 9999, Concat(Large, {9999}), 1, 0},
    {"insert growing past a large block's capacity", Op::Insert, 8, 4096, 1, LargePast, {}, false, 99, Concat(LargePast, {99}), 1, 1, 1},
    {"insert growing within a large block's capacity", Op::Insert, 8, 4096, 1, LargeWithin, {}, false, 99, Concat(LargeWithin, {99}), 1, 0},
    {"delete below the hole limit", Op::Delete, 4, 16, 2, {1, 2, 3}, {}, false, 2, {1, 0, 3}, 0, 0},
    {"delete reaching the hole limit", Op::Delete, 4, 16, 2, {1, 2, 3}, {1}, false, 3, {0, 2, 0}, 0, 0},
    {"delete due to compact", Op::Delete, 4, 16, 2, {1, 2, 3, 4, 5}, {2, 4}, false, 1, {3, 5}, 0, 0},
    {"delete compacting a large list", Op::Delete, 7, 24, 1, Large, {300}, false, 1, Concat(KeyRange(2, 299), KeyRange(301, 699)), 0, 0},
    {"delete at, compacting", Op::DeleteAt, 4, 16, 2, {1, 2, 3, 4, 5}, {2, 4}, false, 1, {3, 5}, 0, 0},
    {"delete if, compacting", Op::DeleteIf, 4, 16, 2, {1, 2, 3, 4, 5}, {2, 4}, false, 1, {3, 5}, 0, 0},
    {"traverse", Op::Traverse, 2, 16, 3, {1, 2, 3}, {2}, false, 0, {1, 0, 3}, 0, 0},
    {"find", Op::Find, 2, 16, 3, {1, 2, 3}, {2}, false, 3, {1, 0, 3}, 0, 0},
    {"reserve, moving", Op::Reserve, 4, 16, 2, {1, 2}, {}, true, 5, {1, 2}, 1, 1, 1},
    {"sort", Op::Sort, 4, 16, 5, {3, 1, 2, 5, 4}, {4}, false, 0, {1, 2, 3, 5}, 2, 2},
    // Nothing to order: the hole goes without a scratch block.
    {"sort one element and a hole", Op::Sort, 4, 16, 5, {1, 2}, {2}, false, 0, {1}, 0, 0},
    {"destroy empty list", Op::Destroy, 2, 16, 1, {}, {}, false, 0, {}, 2, 2},
    {"destroy large list", Op::Destroy, 7, 24, 3, Large, {5}, false, 0, {}, 2, 2},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Operations, OomSweep,
                         ::testing::Combine(::testing::ValuesIn(Cases), ::testing::Bool(),
                                            ::testing::Values(Layer::Heap, Layer::System)),
                         [](const ::testing::TestParamInfo<OomSweep::ParamType> &info) {
                             std::string name = std::get<0>(info.param).Name;
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](unsigned char ch) { return !std::isalnum(ch); }, '_');
                             return name + (std::get<1>(info.param) ? "_FromThenOn" : "_Once") +
                                    (std::get<2>(info.param) == Layer::Heap ? "" : "_System");
                         });

} // namespace
