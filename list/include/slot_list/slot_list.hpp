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
    // An insert, or an erase that compacts, invalidates every iterator and
    // element reference.
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
        Iterator(const Iterator<Other> &other) noexcept
            : handle_(other.handle_), position_(other.position_), element_(other.element_) {}

        reference operator*() const { return *element_; }
        pointer operator->() const { return element_; }
        Iterator &operator++() {
            position_++;
            Settle();
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const Iterator &a, const Iterator &b) {
            return a.element_ == b.element_;
        }
        friend bool operator!=(const Iterator &a, const Iterator &b) { return !(a == b); }

      private:
        friend class List;
        template <typename>
        friend class Iterator;
        // The tag keeps a brace-enclosed key such as {0, 0} from reading as
        // a handle and a position.
        struct At {};
        Iterator(At, const ListHandle *handle, uint32_t position)
            : handle_(handle), position_(position) {
            Settle();
        }
        // Moves to the first live element at position_ or after it, or to the end.
        void Settle() {
            // ListNext neither writes the handle nor changes the block.
            element_ =
                static_cast<Value *>(ListNext(const_cast<ListHandle *>(handle_), &position_));
        }

        const ListHandle *handle_ = nullptr;
        uint32_t position_ = 0;
        Value *element_ = nullptr;
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
        if (pos.element_ == nullptr) {
            return end();
        }
        uint32_t position = pos.position_;
        ListDeleteAt(&handle_, &position);
        return iterator(typename iterator::At{}, &handle_, position);
    }

    // Turns every element for which pred(const T &) is true into a hole, in
    // one walk in slot order, then compacts at most once. Returns how many it
    // erased. pred must not call this list, and must not throw: it runs
    // inside the C walk, which a throw cannot pass, so one ends the program.
    template <typename Predicate>
    std::size_t erase_if(Predicate pred) noexcept {
        return ListDeleteIf(&handle_, &Match<Predicate>, &pred);
    }

    // Erases every element.
    void clear() noexcept {
        ListDeleteIf(
            &handle_, [](const void *, uint32_t, void *) noexcept { return 1; }, nullptr);
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

    iterator begin() noexcept { return iterator(typename iterator::At{}, &handle_, 1); }
    iterator end() noexcept { return iterator(); }
    const_iterator begin() const noexcept {
        return const_iterator(typename const_iterator::At{}, &handle_, 1);
    }
    const_iterator end() const noexcept { return const_iterator(); }

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
    void clear() noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        list_.clear();
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
