// slot_list.hpp - the C++17 interface to the slot list, over the C functions of
// slot_list.h.
//
// slot_list::List<T> owns one list of elements of type T (sizeof(T) bytes per
// slot); slot_list::SharedList<T> is the same list behind a mutex of its own,
// for use from several threads at once. Neither throws: creation returns
// std::optional, and every other failure is a result.
//
// An element whose bytes are all zero cannot be told from a hole, so insert
// refuses it: give T a field that is never zero in a live element. Elements
// may be changed in place through find and the iterators, but never to all
// zero bytes: the list takes every slot below its first hole to be live
// without looking, so such an element would be neither an element nor a hole.
#ifndef SLOT_LIST_HPP
#define SLOT_LIST_HPP

// cl leaves __cplusplus at 199711L without /Zc:__cplusplus; _MSVC_LANG is its standard.
#if !(__cplusplus >= 201703L || (defined(_MSVC_LANG) && _MSVC_LANG >= 201703L))
#error "slot_list.hpp needs C++17 or later (-std=c++17, /std:c++17); from C, include slot_list.h"
#endif

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

#include "slot_list.h"

namespace slot_list {

// Whether BytewiseEqual may compare the bytes of a T: by default when every
// value of T has exactly one representation, which rules out padding bytes.
// A type without padding but with floating members fails that test (0.0 and
// -0.0 are one value in two representations); specialise this as
// std::true_type to let such a type use the default all the same, with
// equality of bytes: 0.0 and -0.0 then differ, and a NaN equals its copy.
//
//     template <> struct slot_list::BytewiseComparable<Point> : std::true_type {};
template <typename T>
struct BytewiseComparable : std::bool_constant<std::has_unique_object_representations_v<T>> {};

// The default equality: two elements are equal when all their bytes are. That
// is equality by value only for a type without padding bytes, whose contents
// no assignment sets; for any other type, pass an Equal of your own.
template <typename T>
struct BytewiseEqual {
    static_assert(BytewiseComparable<T>::value,
                  "T has padding bytes or several representations of one value, so comparing "
                  "its bytes is not comparing values: pass an Equal to List or SharedList, or, "
                  "for a type without padding (floating members), specialise "
                  "slot_list::BytewiseComparable<T> as std::true_type");
    bool operator()(const T &first, const T &second) const noexcept {
        return std::memcmp(&first, &second, sizeof(T)) == 0;
    }
};

// A list of elements of type T, compared with Equal. Equal is a stateless
// function object type: Equal{}(a, b) returns true when a and b are equal and
// must not throw. Not safe for concurrent use; see SharedList.
template <typename T, typename Equal = BytewiseEqual<T>>
class List {
    static_assert(std::is_trivially_copyable_v<T>, "the list copies elements as raw bytes");
    static_assert(sizeof(T) <= UINT32_MAX, "element sizes are 32-bit");
    static_assert(sizeof(ListBlock) % alignof(T) == 0,
                  "slots start right after the header and would be misaligned for T");
    static_assert(std::is_default_constructible_v<Equal> &&
                      std::is_invocable_r_v<bool, const Equal &, const T &, const T &>,
                  "Equal must be a default-constructible bool(const T &, const T &)");

  public:
    // Walks the live elements in slot order, skipping holes: Value is T for
    // iterator and const T for const_iterator, to which an iterator converts.
    // An iterator points into the block itself, as std::vector's do into its
    // array: it stays valid when the List is moved or swapped (and inside a
    // growing std::vector<List<T>>), and across inserts that do not grow the
    // block and erases that do not compact it. An insert that grows the block
    // (see capacity()), a compaction, clear(), compact(), reserve() that grows
    // and sort() invalidate every iterator and element reference; end() is
    // invalidated by any insert or compaction.
    template <typename Value>
    class Iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = Value *;
        using reference = Value &;

        Iterator() = default;
        template <typename Other,
                  typename = std::enable_if_t<std::is_same_v<Other, T> && std::is_const_v<Value>>>
        Iterator(const Iterator<Other> &other) noexcept : block_(other.block_), at_(other.at_) {}

        reference operator*() const { return *at_; }
        pointer operator->() const { return at_; }
        Iterator &operator++() {
            ++at_;
            // Below the first hole every slot is live (inserts refuse all-zero
            // elements): the step is all there is to do. Less one, no hole
            // (NULL) reads as the highest address.
            if (reinterpret_cast<uintptr_t>(at_) >
                reinterpret_cast<uintptr_t>(block_->FirstHole) - 1) {
                Settle();
            }
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const Iterator &a, const Iterator &b) { return a.at_ == b.at_; }
        friend bool operator!=(const Iterator &a, const Iterator &b) { return !(a == b); }

      private:
        friend class List;
        template <typename>
        friend class Iterator;
        // The tag keeps a brace-enclosed key such as {0, 0} from reading as
        // a block and a slot.
        struct InBlock {};
        Iterator(InBlock, ListBlock *block, Value *at) : block_(block), at_(at) {}

        // Past the first hole: moves to the first live slot at at_ or after
        // it, or to the end of the used range.
        void Settle() {
            // The slot at Count lies inside the block and is empty (the last
            // slot is never filled), so a live slot needs no bound check.
            while (Empty(at_) && at_ < Slots(block_) + block_->Count) {
                ++at_;
            }
        }
        // Whether every byte of a slot is zero: the first word nearly always
        // settles it; then every byte must equal the first, a zero.
        static bool Empty(const Value *slot) {
            const auto *bytes = reinterpret_cast<const unsigned char *>(slot);
            uint64_t head = 0;
            std::memcpy(&head, bytes, sizeof(T) < sizeof head ? sizeof(T) : sizeof head);
            if constexpr (sizeof(T) <= sizeof head) {
                return head == 0;
            } else {
                return head == 0 && std::memcmp(bytes, bytes + 1, sizeof(T) - 1) == 0;
            }
        }

        ListBlock *block_ = nullptr;
        Value *at_ = nullptr;
    };
    using iterator = Iterator<T>;
    using const_iterator = Iterator<const T>;
    using value_type = T;

    // Creates an empty list with room for growBy elements; it grows by growBy
    // slots whenever an insert would fill its last slot, and an erase compacts
    // it once more than holeLimit holes have piled up. Returns std::nullopt,
    // having allocated nothing, when growBy is 0, when the block size does not
    // fit in 32 bits or when memory runs out.
    static std::optional<List> create(uint32_t growBy, uint32_t holeLimit = 0) noexcept {
        ListHandle handle = nullptr;
        if (!ListCreate(&handle, Compare, Visit, growBy, static_cast<uint32_t>(sizeof(T)),
                        holeLimit)) {
            return std::nullopt;
        }
        return List(handle);
    }

    // A moved-from list is empty and refuses inserts.
    List(List &&other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    List &operator=(List &&other) noexcept {
        if (this != &other) {
            Release();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    List(const List &) = delete;
    List &operator=(const List &) = delete;
    ~List() { Release(); }

    // Appends a copy of element (which may be one of the list's own). Returns
    // false, with the list unchanged, when element is all zero bytes, when the
    // block cannot grow or when the list was moved from.
    bool insert(const T &element) noexcept { return ListInsert(&handle_, &element) != 0; }

    // Appends copies of the elements from first up to last (which may be the
    // list's own), all or none: with at most one growth. Returns false, with
    // the list unchanged, when one of them is all zero bytes, when there are
    // more than 2^32 - 1 of them, when the block cannot grow or when the list
    // was moved from.
    bool insert(const T *first, const T *last) noexcept {
        auto count = static_cast<std::size_t>(last - first);
        if (count == 0) {
            return handle_ != nullptr; // an empty range may come as two nulls
        }
        return count <= UINT32_MAX &&
               ListInsertMany(&handle_, first, static_cast<uint32_t>(count)) != 0;
    }

    // Turns the first element equal to key into a hole, compacting when the
    // holes exceed the limit. Returns false, with the list unchanged, when no
    // element is equal to key.
    bool erase(const T &key) noexcept { return ListDelete(&handle_, &key) != 0; }

    // Turns the element at pos into a hole, as erase(key) does, without
    // comparing anything, and returns the iterator to the element after it
    // (end() when there is none), so that a loop can erase as it walks:
    //
    //     for (auto it = list.begin(); it != list.end();)
    //         it = drop(*it) ? list.erase(it) : std::next(it);
    //
    // Erasing end() does nothing and returns end().
    iterator erase(const_iterator pos) noexcept {
        if (handle_ == nullptr) {
            return end();
        }
        // ListDeleteAt refuses end(), one past Count, and leaves the position.
        auto position = static_cast<uint32_t>(pos.at_ - Slots(handle_)) + 1;
        ListDeleteAt(&handle_, &position);
        return IteratorAt(position);
    }

    // Turns every element for which pred(const T &) is true into a hole, in
    // one walk in slot order, then compacts at most once. Returns how many it
    // erased. pred must not call this list, and must not throw: it runs
    // inside the C walk, which a throw cannot pass, so one ends the program.
    template <typename Predicate>
    std::size_t erase_if(Predicate pred) noexcept {
        return ListDeleteIf(&handle_, &Match<Predicate>, &pred);
    }

    // Erases every element, keeping the capacity; no hole is left (ListClear).
    void clear() noexcept { ListClear(&handle_); }

    // Squeezes every hole out now, the elements keeping their order
    // (ListCompact).
    void compact() noexcept { ListCompact(&handle_); }

    // Makes room for count more inserts without growing, in whole steps of
    // the growth step (ListReserve). Returns false, with the list unchanged,
    // when the size would pass 32 bits, when memory runs out or when the list
    // was moved from.
    bool reserve(std::size_t count) noexcept {
        return count <= UINT32_MAX && ListReserve(&handle_, static_cast<uint32_t>(count)) != 0;
    }

    // Puts the elements in the order less(const T &, const T &) gives, as
    // std::stable_sort does, and squeezes the holes out (ListSort). less must
    // not throw or call this list. Returns false, with the list unchanged,
    // when memory for the sort runs out or when the list was moved from.
    template <typename Less>
    bool sort(Less less) noexcept {
        return ListSort(&handle_, &Order<Less>, &less) != 0;
    }

    // A list of its own with the same growth step, hole limit and elements in
    // the same order, without the holes; std::nullopt when memory runs out
    // or when this list was moved from.
    std::optional<List> copy() const noexcept {
        if (handle_ == nullptr) {
            return std::nullopt;
        }
        std::optional<List> twin = create(handle_->GrowBy, handle_->HoleLimit);
        if (!twin || !twin->reserve(size())) {
            return std::nullopt;
        }
        for (const T &element : *this) {
            twin->insert(element);
        }
        return twin;
    }

    // The last element equal to key, or nullptr when there is none. The
    // pointer is valid until the next insert or compaction.
    T *find(const T &key) noexcept { return static_cast<T *>(ListFind(&handle_, &key)); }
    const T *find(const T &key) const noexcept {
        // ListFind neither writes the handle nor changes the block.
        return static_cast<const T *>(ListFind(const_cast<ListHandle *>(&handle_), &key));
    }

    // Live elements.
    std::size_t size() const noexcept {
        // ListSize neither writes the handle nor changes the block.
        return ListSize(const_cast<ListHandle *>(&handle_));
    }
    bool empty() const noexcept { return size() == 0; }
    // Holes left by erase since the last compaction.
    std::size_t holes() const noexcept { return handle_ == nullptr ? 0 : handle_->HoleCount; }
    // Slots in the block, used or not; the last one is never filled.
    std::size_t capacity() const noexcept {
        return handle_ == nullptr ? 0 : (handle_->BlockSize - sizeof(ListBlock)) / sizeof(T);
    }

    iterator begin() noexcept { return IteratorAt(1); }
    iterator end() noexcept {
        return handle_ == nullptr ? iterator()
                                  : iterator(typename iterator::InBlock{}, handle_,
                                             Slots(handle_) + handle_->Count);
    }
    const_iterator begin() const noexcept { return const_cast<List *>(this)->begin(); }
    const_iterator end() const noexcept { return const_cast<List *>(this)->end(); }

    // Calls visit(element) for every live element in slot order. visit must
    // not insert into or erase from this list.
    template <typename Visitor>
    void for_each(Visitor &&visit) const {
        for (const T &element : *this) {
            visit(element);
        }
    }

  private:
    explicit List(ListHandle handle) noexcept : handle_(handle) {}

    // The slot area, right after the header.
    static T *Slots(ListBlock *block) noexcept { return reinterpret_cast<T *>(block + 1); }

    // The iterator to the first live element at position or after it.
    iterator IteratorAt(uint32_t position) noexcept {
        void *element = ListNext(&handle_, &position);
        return element == nullptr
                   ? end()
                   : iterator(typename iterator::InBlock{}, handle_, static_cast<T *>(element));
    }

    void Release() noexcept {
        // A block the heap refuses to take back is given up: a destructor has
        // no way to report it.
        if (handle_ != nullptr) {
            ListDestroy(&handle_);
            handle_ = nullptr;
        }
    }

    static int32_t Compare(const void *first, const void *second) noexcept {
        return Equal{}(*static_cast<const T *>(first), *static_cast<const T *>(second)) ? 0 : 1;
    }
    // Iteration walks the block itself; the C list only insists on a visitor.
    static void Visit(const void *, uint32_t, int) noexcept {}
    template <typename Predicate>
    static int Match(const void *element, uint32_t, void *predicate) noexcept {
        return (*static_cast<Predicate *>(predicate))(*static_cast<const T *>(element)) ? 1 : 0;
    }
    // ListSort moves an element ahead of an earlier one only when the order
    // is positive, so one call of less per comparison keeps the sort stable.
    template <typename Less>
    static int Order(const void *first, const void *second, void *less) noexcept {
        return (*static_cast<Less *>(less))(*static_cast<const T *>(second),
                                            *static_cast<const T *>(first))
                   ? 1
                   : 0;
    }

    ListHandle handle_ = nullptr;
};

// List<T, Equal> behind a mutex of its own, safe to use from several threads at
// once. The mutex lives beside the handle, outside the block that growth
// moves, and every operation takes it before it reads the handle.
//
// Differences from List: find returns a copy, since a slot address would not
// outlive the lock, and iteration is for_each, whose callback runs under the
// lock and must not call this list (the mutex is not recursive); with no
// iterators there is no erase(iterator), and erase_if erases while it walks.
template <typename T, typename Equal = BytewiseEqual<T>>
class SharedList {
  public:
    using value_type = T;

    // As List::create.
    static std::optional<SharedList> create(uint32_t growBy, uint32_t holeLimit = 0) noexcept {
        std::optional<List<T, Equal>> list = List<T, Equal>::create(growBy, holeLimit);
        if (!list) {
            return std::nullopt;
        }
        return SharedList(std::move(*list));
    }

    // Moving takes the source's lock; each object keeps its own mutex.
    SharedList(SharedList &&other) noexcept : list_(other.Take()) {}
    SharedList &operator=(SharedList &&other) noexcept {
        if (this != &other) {
            std::scoped_lock lock(mutex_, other.mutex_);
            list_ = std::move(other.list_);
        }
        return *this;
    }
    SharedList(const SharedList &) = delete;
    SharedList &operator=(const SharedList &) = delete;
    ~SharedList() = default;

    // As List::insert.
    bool insert(const T &element) noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        return list_.insert(element);
    }
    // As List::insert.
    bool insert(const T *first, const T *last) noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        return list_.insert(first, last);
    }
    // As List::erase.
    bool erase(const T &key) noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        return list_.erase(key);
    }
    // As List::erase_if, holding the lock throughout: pred must not call this
    // list (the mutex is not recursive).
    template <typename Predicate>
    std::size_t erase_if(Predicate pred) noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        return list_.erase_if(std::move(pred));
    }
    // As List::clear, compact, reserve and sort; less runs under the lock
    // and must not call this list.
    void clear() noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        list_.clear();
    }
    void compact() noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        list_.compact();
    }
    bool reserve(std::size_t count) noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        return list_.reserve(count);
    }
    template <typename Less>
    bool sort(Less less) noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        return list_.sort(std::move(less));
    }
    // As List::copy: a SharedList of its own, with a mutex of its own.
    std::optional<SharedList> copy() const noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        std::optional<List<T, Equal>> twin = list_.copy();
        if (!twin) {
            return std::nullopt;
        }
        return SharedList(std::move(*twin));
    }
    // A copy of the last element equal to key, or std::nullopt.
    std::optional<T> find(const T &key) const noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        const T *found = list_.find(key);
        return found == nullptr ? std::nullopt : std::optional<T>(*found);
    }
    std::size_t size() const noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        return list_.size();
    }
    bool empty() const noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        return list_.empty();
    }
    std::size_t holes() const noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        return list_.holes();
    }
    std::size_t capacity() const noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        return list_.capacity();
    }
    // Calls visit(element) for every live element in slot order, holding the
    // lock throughout.
    template <typename Visitor>
    void for_each(Visitor &&visit) const {
        std::lock_guard<std::mutex> lock(mutex_);
        list_.for_each(std::forward<Visitor>(visit));
    }

  private:
    explicit SharedList(List<T, Equal> &&list) noexcept : list_(std::move(list)) {}

    List<T, Equal> Take() noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::move(list_);
    }

    mutable std::mutex mutex_;
    List<T, Equal> list_;
};

// Erases from list every element for which pred is true, as std::erase_if
// does for the standard containers: list.erase_if(pred).
template <typename T, typename Equal, typename Predicate>
std::size_t erase_if(List<T, Equal> &list, Predicate pred) noexcept {
    return list.erase_if(std::move(pred));
}
template <typename T, typename Equal, typename Predicate>
std::size_t erase_if(SharedList<T, Equal> &list, Predicate pred) noexcept {
    return list.erase_if(std::move(pred));
}

} // namespace slot_list

#endif // SLOT_LIST_HPP
