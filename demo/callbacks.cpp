// The comparator and visitor the demonstration hands the list, and the
// console output they share with the scenario.

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "console.h"
#include "demo.h"
#include "messages.h"

char ErrorText[1024];

void FormatLastError() {
    DemoLastErrorText(ErrorText, sizeof ErrorText);
}

void DemoPrintf(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list measuring;
    va_copy(measuring, arguments);
    int length = vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length > 0) {
        std::vector<char> text(static_cast<size_t>(length) + 1);
        vsnprintf(text.data(), text.size(), format, arguments);
        DemoWrite(text.data(), static_cast<size_t>(length));
    }
    va_end(arguments);
}

int32_t CompareElements(const void *first, const void *second) {
    return DemoCompareStrings(static_cast<const char *>(first), static_cast<const char *>(second));
}

void PrintElement(const void *element, uint32_t position, int isEnd) {
    if (isEnd) {
        DemoPrintf("%s", MsgTraverseEnd);
        return;
    }
    DemoPrintf(MsgElement, static_cast<const char *>(element));
    // Holes use up positions too, so the breaks follow slots, not elements.
    if (position % 4 == 0) {
        DemoPrintf("%s", MsgLineBreak);
    }
}
