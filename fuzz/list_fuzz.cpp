// Differential fuzz target: decodes the input into list calls (create, insert
// one or many, delete by key, at a position or by predicate, a walk deleting as
// it goes, find, traverse, clear, compact, reserve, sort, destroy, refused
// arguments, heap failures, moving growth), runs each on the list and on the
// model, and aborts at the first difference Runner::Check finds.
//
// Each step starts with a byte that picks the operation: below 224 its value
// modulo 14 (the steps the corpus was first made with), from 224 up one of
// clear, compact, reserve and sort, eight values each.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "model.h"
#include <slot_list/slot_list.h>
#include "slot_at.h"
#include "test_heap.h"

namespace {

using namespace fuzz_model;
using testing_support::SlotAt;

constexpr uint32_t HeaderSize = sizeof(ListBlock);
constexpr size_t MaxSteps = 512;
// Step bytes from here up pick the whole-list operations.
constexpr uint8_t WholeListSteps = 224;
// A reservation that would really grow the block past this many bytes is not
// made: the fuzzer's memory is limited. Those whose size passes 32 bits are.
constexpr uint64_t MaxReserveBlock = 256 * 1024;

// The input a byte at a time; zero once it runs out.
struct Reader {
    const uint8_t *At, *End;
    uint8_t Next() { return At < End ? *At++ : 0; }
};

// What the callbacks see; the comparator and the visitor cannot be handed a
// context.
struct Callbacks {
    ListHandle *Handle = nullptr;
    const void *Key = nullptr;
    Equality Equal = Equality::FirstByte;
    uint32_t ElementSize = 0;
    Rule Picks; // the predicate's rule, and the context it is given
    std::vector<Call> Calls;
    // The sort's order, the context it is given and the used slots at the
    // call; the first thing wrong with an order call, empty when none was.
    Order Sorting = Order::FirstByteUp;
    void *SortContext = nullptr;
    uint32_t SortCount = 0;
    uint64_t OrderCalls = 0;
    std::string OrderFailure;
} Seen;

uint32_t SlotIndex(const void *slot) {
    return static_cast<uint32_t>(
        static_cast<size_t>(static_cast<const unsigned char *>(slot) - SlotAt(*Seen.Handle, 0)) /
        Seen.ElementSize);
}

int32_t Compare(const void *first, const void *second) {
    bool keyFirst = first == Seen.Key;
    Seen.Calls.push_back({'c', keyFirst, SlotIndex(keyFirst ? second : first), 0});
    return !Equals(Seen.Equal, static_cast<const unsigned char *>(first),
                   static_cast<const unsigned char *>(second), Seen.ElementSize);
}

void Visit(const void *element, uint32_t position, int isEnd) {
    Seen.Calls.push_back(
        {'v', isEnd ? 0 : SlotIndex(element), position, static_cast<uint32_t>(isEnd)});
}

int Match(const void *element, uint32_t position, void *context) {
    Seen.Calls.push_back({'m', SlotIndex(element), position, context == &Seen.Picks});
    return Seen.Picks.Matches(static_cast<const unsigned char *>(element), position) ? 1 : 0;
}

// What is wrong with element as an argument of an order call, if anything: it
// must be a live slot (not all zero) below the Count the sort started with.
const char *NotALiveSlot(const void *element) {
    const auto *bytes = static_cast<const unsigned char *>(element);
    const unsigned char *first = SlotAt(*Seen.Handle, 0);
    const size_t size = Seen.ElementSize;
    if (bytes < first || static_cast<size_t>(bytes - first) >= size_t{Seen.SortCount} * size) {
        return "an address outside the used slots";
    }
    if (static_cast<size_t>(bytes - first) % size != 0) {
        return "an address inside a slot";
    }
    return AllZero(bytes, size) ? "a hole" : nullptr;
}

int OrderOf(const void *first, const void *second, void *context) {
    Seen.OrderCalls++;
    if (Seen.OrderFailure.empty()) {
        const char *firstWrong = NotALiveSlot(first);
        const char *secondWrong = NotALiveSlot(second);
        if (context != Seen.SortContext) {
            Seen.OrderFailure = "an order call with another context";
        } else if (first == second) {
            Seen.OrderFailure = "an order call with one slot twice";
        } else if (firstWrong != nullptr) {
            Seen.OrderFailure = std::string("an order call given ") + firstWrong + " first";
        } else if (secondWrong != nullptr) {
            Seen.OrderFailure = std::string("an order call given ") + secondWrong + " second";
        }
    }
    return Ordered(Seen.Sorting, static_cast<const unsigned char *>(first),
                   static_cast<const unsigned char *>(second), Seen.ElementSize);
}

// A predicate's rule drawn from one input byte.
Rule ReadRule(Reader &in) {
    uint8_t how = in.Next();
    uint32_t modulus = 1 + how % 4;
    return Rule{modulus, (how >> 2) % modulus, (how & 0x80) != 0};
}

[[noreturn]] void Diverged(size_t step, const char *op, const std::string &what) {
    std::fprintf(stderr, "divergence at step %zu (%s): %s\n", step, op, what.c_str());
    std::abort();
}

// An element drawn from two input bytes: a value and where it goes.
Bytes Pattern(Reader &in, uint32_t size) {
    uint8_t value = in.Next();
    uint8_t shape = in.Next();
    Bytes bytes(size, 0);
    switch (shape % 4) {
    case 0: // first byte only: equal to others by the first byte
        bytes[0] = value;
        break;
    case 1: // last byte only: live although its first byte is zero
        bytes[size - 1] = value;
        break;
    case 2:
        std::fill(bytes.begin(), bytes.end(), value);
        break;
    default:
        for (uint32_t i = 0; i < size; i++) {
            bytes[i] = static_cast<uint8_t>(value + i * (shape | 1));
        }
    }
    return bytes;
}

// A reservation count drawn from the input: 0, small, around the room left,
// near or past what 32 bits can size. Clears *made when the count would really
// grow the block too far to allocate here.
uint32_t ReserveCount(Reader &in, const std::optional<ListState> &list, bool *made) {
    const uint8_t how = in.Next();
    const uint8_t value = in.Next();
    *made = true;
    if (!list) {
        return how % 2 == 0 ? 0 : value;
    }
    const uint64_t size = list->ElementSize;
    // The most slots a block can size in 32 bits.
    const uint64_t most = (UINT32_MAX - uint64_t{HeaderSize}) / size;
    uint64_t count = 0;
    switch (how % 8) {
    case 0:
        break;
    case 1:
        count = value % 16;
        break;
    case 2:
        count = value * uint64_t{8};
        break;
    case 3: // around the room there is: the count that just fits and its neighbours
        count = static_cast<uint64_t>(
            std::max<int64_t>(0, int64_t{list->Capacity} - list->Count - 3 + value % 5));
        break;
    case 4:
        count = UINT32_MAX - value % 4;
        break;
    case 5:
        // Slots needed from just past what 32 bits can size down to a few
        // below it, where the growth's rounding to GrowBy may still pass it.
        count = most + 2 - value % (list->GrowBy + 3) - list->Count - 1;
        break;
    case 6:
        count = uint64_t{1} << (31 - value % 4);
        break;
    default:
        count = value;
    }
    // A growth to more than MaxReserveBlock bytes that 32 bits can size would
    // really be made: that one is left out.
    uint64_t needed = uint64_t{list->Count} + count + 1;
    if (needed > list->Capacity) {
        uint64_t steps = (needed - list->Capacity + list->GrowBy - 1) / list->GrowBy;
        uint64_t capacity = list->Capacity + steps * list->GrowBy;
        *made = capacity > most || capacity * size + HeaderSize <= MaxReserveBlock;
    }
    return static_cast<uint32_t>(count);
}

class Runner {
  public:
    void Step(Reader &in, size_t step);
    void Finish(size_t step) {
        heap_.FailNone();
        model_.Plan.Arm(0, false);
        if (handle_ != nullptr) {
            ForgetCalls();
            int result = ListDestroy(&handle_) != 0;
            Check(step, "final destroy", result, model_.Destroy());
        }
        if (heap_.Outstanding() != model_.Outstanding) {
            Diverged(step, "end", "blocks left behind");
        }
    }

  private:
    // Empties the callback calls recorded, on the list's side and the model's.
    void ForgetCalls() {
        Seen.Handle = &handle_;
        Seen.Calls.clear();
        Seen.OrderCalls = 0;
        Seen.OrderFailure.clear();
        model_.Calls.clear();
        model_.SortedLive.reset();
    }

    uint32_t ElementSize() const { return model_.List ? model_.List->ElementSize : 1; }
    uint32_t Count() const { return model_.List ? model_.List->Count : 0; }
    // The bytes of the list's block from offset up, as they are now.
    Bytes BlockBytes(uint32_t offset, size_t length) const {
        const auto *start = reinterpret_cast<const unsigned char *>(handle_) + offset;
        return Bytes(start, start + length);
    }

    // Walks the list from position first, deleting each element rule picks, on
    // the list and on the model; fails at the first difference.
    void WalkDeleting(size_t step, uint32_t first, const Rule &rule) {
        // What each walk met: the slot and position of every element, and the
        // result and written-back position of every deletion.
        std::vector<int64_t> walked, modelled;
        uint32_t p = first;
        for (void *e; (e = ListNext(&handle_, &p)) != nullptr;) {
            walked.push_back(int64_t{SlotIndex(e)} << 32 | p);
            if (walked.size() > 2 * size_t{model_.List->Capacity} + 2) {
                Diverged(step, "walk deleting", "the walk does not end");
            }
            if (rule.Matches(static_cast<const unsigned char *>(e), p)) {
                walked.push_back(int64_t{ListDeleteAt(&handle_, &p)} << 32 | p);
            } else {
                p++;
            }
        }
        p = first;
        for (std::optional<uint32_t> slot; (slot = model_.Next(&p));) {
            modelled.push_back(int64_t{*slot} << 32 | p);
            if (rule.Matches(model_.List->Slot(*slot), p)) {
                modelled.push_back(int64_t{model_.DeleteAt(&p)} << 32 | p);
            } else {
                p++;
            }
        }
        if (walked != modelled) {
            Diverged(step, "walk deleting",
                     "met " + std::to_string(walked.size()) + " steps, model " +
                         std::to_string(modelled.size()));
        }
    }

    void Check(size_t step, const char *op, int64_t result, int64_t expected) {
        auto fail = [&](const std::string &what) { Diverged(step, op, what); };
        auto same = [&](const char *what, int64_t actual, int64_t modelled) {
            if (actual != modelled) {
                fail(std::string(what) + " " + std::to_string(actual) + ", model " +
                     std::to_string(modelled));
            }
        };
        same("result", result, expected);
        if (Seen.Calls != model_.Calls) {
            fail("comparator, visitor or predicate calls");
        }
        if (!Seen.OrderFailure.empty()) {
            fail(Seen.OrderFailure);
        }
        // Telling n elements' order takes at least n - 1 comparisons, and fewer
        // than two elements leave nothing to compare.
        const uint64_t leastOrderCalls = model_.SortedLive.value_or(1) - 1;
        if (Seen.OrderCalls < leastOrderCalls) {
            fail("order calls " + std::to_string(Seen.OrderCalls) + ", at least " +
                 std::to_string(leastOrderCalls));
        }
        same("live count", ListSize(&handle_), model_.Size());
        same("heap calls", heap_.Calls(), model_.Plan.Calls);
        same("outstanding blocks", heap_.Outstanding(), model_.Outstanding);
        std::optional<ListState> &list = model_.List;
        same("a list", handle_ != nullptr, list.has_value());
        if (!list) {
            return;
        }
        const ListBlock &block = *handle_;
        const std::optional<uint32_t> firstHole = list->FirstHole();
        same("callbacks and lock",
             block.Compare == Compare && block.Visit == Visit && block.Lock == lock_, 1);
        same("BlockSize", block.BlockSize, model_.BlockSize());
        same("Count", block.Count, list->Count);
        same("GrowBy", block.GrowBy, list->GrowBy);
        same("ElementSize", block.ElementSize, list->ElementSize);
        same("HoleCount", block.HoleCount, list->HoleCount());
        same("HoleLimit", block.HoleLimit, list->HoleLimit);
        same("FirstHole at the first hole",
             block.FirstHole == (firstHole ? SlotAt(handle_, *firstHole) : nullptr), 1);
        if (std::memcmp(SlotAt(handle_, 0), list->Slots.data(), list->Slots.size()) != 0) {
            fail("slot bytes");
        }
    }

    testing_support::TestHeap heap_;
    Model model_{HeaderSize};
    ListHandle handle_ = nullptr;
    ListLock *lock_ = nullptr;
};

void Runner::Step(Reader &in, size_t step) {
    ForgetCalls();
    int64_t result = 0;
    int64_t expected = 0;
    // The operations by the number the step byte decodes to.
    static const char *const Names[] = {
        "create",    "insert bytes", "insert pattern", "insert own slot",   "delete",
        "find",      "traverse",     "fail heap",      "move on growth",    "insert many",
        "delete at", "delete if",    "walk deleting",  "refused arguments", "clear",
        "compact",   "reserve",      "sort",
    };
    const uint8_t kind = in.Next();
    const int operation = kind >= WholeListSteps ? 14 + (kind - WholeListSteps) / 8 : kind % 14;
    const char *op = Names[operation];
    switch (operation) {
    case 0: {
        if (handle_ != nullptr) {
            op = "destroy";
            result = ListDestroy(&handle_) != 0;
            expected = model_.Destroy();
            break;
        }
        uint8_t sizes = in.Next();
        uint32_t growBy = sizes % 5;
        uint32_t elementSize = in.Next() % 17;
        uint32_t holeLimit = in.Next() % 5;
        Equality equal = sizes & 0x80 ? Equality::AllBytes : Equality::FirstByte;
        if (sizes == 0x7F) { // a block of 2^32 bytes and more
            growBy = 0x10000;
            elementSize = 0x10000;
        } else if (sizes == 0xFF) { // the header pushes the size past 2^32
            growBy = 1;
            elementSize = UINT32_MAX - HeaderSize / 2;
        }
        Seen.Equal = equal;
        Seen.ElementSize = elementSize;
        result = ListCreate(&handle_, Compare, Visit, growBy, elementSize, holeLimit);
        expected = model_.Create(growBy, elementSize, holeLimit, equal);
        lock_ = handle_ == nullptr ? nullptr : handle_->Lock;
        break;
    }
    case 1: {
        Bytes element(ElementSize());
        for (unsigned char &byte : element) {
            byte = in.Next();
        }
        result = ListInsert(&handle_, element.data());
        expected = model_.Insert(element);
        break;
    }
    case 2: {
        Bytes element = Pattern(in, ElementSize());
        result = ListInsert(&handle_, element.data());
        expected = model_.Insert(element);
        break;
    }
    case 3: {
        uint8_t pick = in.Next();
        if (handle_ == nullptr) {
            break;
        }
        if ((pick & 0x80) != 0) {
            // Bytes from the header on, as they are at the call.
            op = "insert from the header";
            uint32_t offset = (pick & 0x7F) % HeaderSize;
            Bytes element = BlockBytes(offset, ElementSize());
            result = ListInsert(&handle_, reinterpret_cast<unsigned char *>(handle_) + offset);
            expected = model_.Insert(element);
            break;
        }
        // The copy is taken from the slot's bytes as they are before any growth.
        uint32_t index = pick % model_.List->Capacity;
        result = ListInsert(&handle_, SlotAt(handle_, index));
        expected = model_.Insert(model_.List->Copy(index, 1));
        break;
    }
    case 4: {
        Bytes key = Pattern(in, ElementSize());
        Seen.Key = key.data();
        result = ListDelete(&handle_, key.data());
        expected = model_.Delete(key);
        break;
    }
    case 5: {
        Bytes key = Pattern(in, ElementSize());
        Seen.Key = key.data();
        void *found = ListFind(&handle_, key.data());
        result = found == nullptr ? -1 : int64_t{SlotIndex(found)};
        std::optional<uint32_t> modelFound = model_.Find(key);
        expected = modelFound ? int64_t{*modelFound} : -1;
        break;
    }
    case 6:
        ListTraverse(&handle_);
        model_.Traverse();
        break;
    case 7: {
        uint8_t how = in.Next();
        uint64_t failAt = how % 4; // 0 lets every call through again
        bool every = (how & 0x80) != 0;
        heap_.FailAt(failAt, every);
        model_.Plan.Arm(failAt, every);
        break;
    }
    case 8:
        heap_.MoveOnGrowth(in.Next() & 1);
        break;
    case 9: {
        uint8_t how = in.Next();
        uint32_t count = how % 9;
        if ((how & 0x80) != 0 && handle_ != nullptr) {
            op = "insert many own slots";
            uint32_t capacity = model_.List->Capacity;
            uint8_t where = in.Next();
            if ((how & 0x40) != 0) {
                // From the header on, as far as the block goes.
                op = "insert many from the header";
                uint32_t offset = where % HeaderSize;
                count = std::min(count, (model_.BlockSize() - offset) / ElementSize());
                Bytes elements = BlockBytes(offset, size_t{count} * ElementSize());
                result = ListInsertMany(&handle_,
                                        reinterpret_cast<unsigned char *>(handle_) + offset, count);
                expected = model_.InsertMany(elements, count);
                break;
            }
            uint32_t index = where % capacity;
            count = std::min(count, capacity - index);
            result = ListInsertMany(&handle_, SlotAt(handle_, index), count);
            expected = model_.InsertMany(model_.List->Copy(index, count), count);
            break;
        }
        Bytes elements;
        for (uint32_t i = 0; i < count; i++) {
            Bytes element = Pattern(in, ElementSize());
            elements.insert(elements.end(), element.begin(), element.end());
        }
        static const unsigned char NoElements = 0;
        result = ListInsertMany(&handle_, elements.empty() ? &NoElements : elements.data(), count);
        expected = model_.InsertMany(elements, count);
        break;
    }
    case 10: {
        // Positions around the used range: 0, holes, live ones, past Count.
        uint8_t pick = in.Next();
        uint32_t position = pick == 0xFF ? UINT32_MAX : pick % (Count() + 3);
        uint32_t modelPosition = position;
        result = int64_t{ListDeleteAt(&handle_, &position)} << 32 | position;
        expected = int64_t{model_.DeleteAt(&modelPosition)} << 32 | modelPosition;
        break;
    }
    case 11:
        Seen.Picks = ReadRule(in);
        result = ListDeleteIf(&handle_, Match, &Seen.Picks);
        expected = model_.DeleteIf(Seen.Picks);
        break;
    case 12: {
        uint32_t first = in.Next() % 3;
        WalkDeleting(step, first, ReadRule(in));
        break;
    }
    case 13: {
        Bytes key = Pattern(in, ElementSize());
        ListHandle *none = nullptr;
        ListHandle spare = nullptr;
        ListHandle empty = nullptr; // a handle with no list in it
        uint32_t position = 1;
        Seen.SortContext = &Seen;
        result =
            ListInsert(none, key.data()) + ListInsert(&handle_, nullptr) +
            ListInsertMany(none, key.data(), 1) + ListInsertMany(&handle_, nullptr, 1) +
            (ListNext(none, &position) != nullptr) + (ListNext(&handle_, nullptr) != nullptr) +
            (ListFind(none, key.data()) != nullptr) + (ListFind(&handle_, nullptr) != nullptr) +
            ListDelete(none, key.data()) + ListDelete(&handle_, nullptr) + ListDestroy(none) +
            ListCreate(none, Compare, Visit, 1, 1, 0) +
            ListCreate(&spare, nullptr, Visit, 1, 1, 0) +
            ListCreate(&spare, Compare, nullptr, 1, 1, 0) + (spare != nullptr) +
            ListDeleteAt(none, &position) + ListDeleteAt(&handle_, nullptr) +
            static_cast<int64_t>(ListDeleteIf(none, Match, &Seen.Picks)) +
            static_cast<int64_t>(ListDeleteIf(&handle_, nullptr, &Seen.Picks)) +
            static_cast<int64_t>(ListSize(none)) + (position != 1) + ListClear(none) +
            ListClear(&empty) + ListCompact(none) + ListCompact(&empty) + ListReserve(none, 1) +
            ListReserve(&empty, 1) + ListReserve(none, 0) + ListSort(none, OrderOf, &Seen) +
            ListSort(&empty, OrderOf, &Seen) + ListSort(&handle_, nullptr, &Seen) +
            (empty != nullptr) + static_cast<int64_t>(Seen.OrderCalls);
        ListTraverse(none);
        break;
    }
    case 14:
        result = ListClear(&handle_);
        expected = model_.Clear();
        break;
    case 15:
        result = ListCompact(&handle_);
        expected = model_.Compact();
        break;
    case 16: {
        bool made;
        uint32_t count = ReserveCount(in, model_.List, &made);
        if (!made) {
            op = "reserve (too large to allocate here, not made)";
            break;
        }
        result = ListReserve(&handle_, count);
        expected = model_.Reserve(count);
        break;
    }
    default: {
        const uint8_t how = in.Next();
        Seen.Sorting = static_cast<Order>(how % OrderKinds);
        Seen.SortContext = (how & 0x80) != 0 ? nullptr : &Seen;
        Seen.SortCount = Count();
        result = ListSort(&handle_, OrderOf, Seen.SortContext);
        expected = model_.Sort(Seen.Sorting);
        break;
    }
    }
    Check(step, op, result, expected);
}

// Steps checked against the model in this process, reported at its exit.
struct StepTally {
    uint64_t Steps = 0;
    uint64_t Inputs = 0;
    ~StepTally() {
        std::fprintf(stderr, "list fuzz: %llu inputs, %llu operations checked, 0 divergences\n",
                     static_cast<unsigned long long>(Inputs),
                     static_cast<unsigned long long>(Steps));
    }
} Tally;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Reader in{data, data + size};
    Runner runner;
    size_t step = 0;
    for (; step < MaxSteps && in.At < in.End; step++) {
        runner.Step(in, step);
    }
    runner.Finish(step);
    Tally.Inputs++;
    Tally.Steps += step;
    return 0;
}
