// The work every container in the benchmark does alike: the elements, the one
// comparator and the one visitor, both called through function pointers.
#ifndef SLOT_LIST_BENCH_WORKLOAD_H
#define SLOT_LIST_BENCH_WORKLOAD_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace bench {

template <size_t N>
using Element = std::array<char, N>;

// Element number i: its index in the first eight bytes, a non-zero pattern
// after them, so that no element is all zero and two elements differ early.
template <size_t N>
Element<N> MakeElement(uint64_t i) {
    static_assert(N >= sizeof i, "an element holds its index");
    Element<N> element;
    element.fill(0x5a);
    memcpy(element.data(), &i, sizeof i);
    return element;
}

// Writes another index into an element made by MakeElement.
template <size_t N>
void SetIndex(Element<N> &element, uint64_t i) {
    memcpy(element.data(), &i, sizeof i);
}

// The comparator every container is searched with: whole-element equality.
template <size_t N>
int32_t CompareElements(const void *first, const void *second) {
    return memcmp(first, second, N) == 0 ? 0 : 1;
}

// Where the visitor leaves what it read, so that no visit can be optimised out.
extern uint64_t VisitSum;

// The visitor every container is traversed with: reads the element's first
// byte and its position.
void VisitElement(const void *element, uint32_t position, int isEnd);

} // namespace bench

#endif // SLOT_LIST_BENCH_WORKLOAD_H
