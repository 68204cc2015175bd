// The demonstration's one scenario: create a list of 128-byte strings, insert,
// list, delete, find, destroy, and wait for a key.

#include <cstdint>

#include "console.h"
#include "demo.h"
#include "messages.h"
#include <slot_list/slot_list.h>

namespace {

// The first four bytes of an element as a signed little-endian number.
int32_t LeadingNumber(const void *element) {
    const auto *bytes = static_cast<const unsigned char *>(element);
    uint32_t value =
        bytes[0] | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
    return static_cast<int32_t>(value);
}

void Insert(ListHandle *handle, char *buffer, const char *text) {
    DemoCopyString(buffer, text);
    if (ListInsert(handle, buffer)) {
        DemoPrintf("%s", MsgInsertOk);
    } else {
        FormatLastError();
        DemoPrintf(MsgInsertFailed, ErrorText);
    }
}

} // namespace

int RunScenario() {
    ListHandle handle = nullptr;
    // Zeroed once, so no indeterminate bytes travel into the list.
    char buffer[DemoElementSize] = {};

    if (!ListCreate(&handle, CompareElements, PrintElement, 2, DemoElementSize, 1)) {
        FormatLastError();
        DemoPrintf(MsgCreateFailed, ErrorText);
        DemoFinishOutput();
        return 1;
    }
    Insert(&handle, buffer, "hello");
    ListTraverse(&handle);
    Insert(&handle, buffer, "nihao");
    ListTraverse(&handle);

    DemoCopyString(buffer, "hello");
    if (ListDelete(&handle, buffer)) {
        DemoPrintf("%s", MsgDeleteOk);
    } else {
        FormatLastError();
        DemoPrintf(MsgDeleteFailed, ErrorText);
    }
    ListTraverse(&handle);

    DemoCopyString(buffer, "nihao");
    void *found = ListFind(&handle, buffer);
    if (found == nullptr) {
        DemoPrintf("%s", MsgNotFound);
    } else {
        DemoPrintf(MsgFound, found, LeadingNumber(found));
    }

    ListDestroy(&handle);
    DemoWaitForKey();
    return DemoFinishOutput() ? 0 : 1;
}
