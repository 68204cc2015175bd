// Where slot index of a list lies: right after the header, ElementSize bytes
// apart. The one place the tests and the fuzz target spell out the layout.
#ifndef SLOT_LIST_TEST_SLOT_AT_H
#define SLOT_LIST_TEST_SLOT_AT_H

#include <cstddef>
#include <cstdint>

#include <slot_list/slot_list.h>

namespace testing_support {

inline unsigned char *SlotAt(ListHandle handle, uint32_t index) {
    return reinterpret_cast<unsigned char *>(handle) + sizeof(ListBlock) +
           static_cast<size_t>(index) * handle->ElementSize;
}

} // namespace testing_support

#endif // SLOT_LIST_TEST_SLOT_AT_H
