// demo.h - the demonstration: the callbacks it gives the list, its console
// output and the scenario it runs.
#ifndef SLOT_LIST_DEMO_H
#define SLOT_LIST_DEMO_H

#include <cstdint>

// Bytes in each element of the demonstration's list.
constexpr uint32_t DemoElementSize = 128;

// The text of the last system error, shown in failure messages.
extern char ErrorText[1024];

// Fetches the message text for the thread's last system error into ErrorText;
// when none can be had, ErrorText keeps what it held.
void FormatLastError();

// printf to the console; format and arguments are GBK text.
void DemoPrintf(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The list's comparator: the zero-terminated strings at the start of both
// elements, 0 when they are equal. Bytes after the terminators play no part.
int32_t CompareElements(const void *first, const void *second);

// The list's visitor: prints the element as a string and a tab, a line break
// after every fourth position, and the closing line when isEnd is set.
void PrintElement(const void *element, uint32_t position, int isEnd);

// Runs the whole scenario, the final key-press wait included. Returns the
// process's exit status: 0 when it ran to the end and all its output was
// written, 1 when the list could not be created or the output could not be
// written (standard output closed, or a full disk).
int RunScenario();

#endif // SLOT_LIST_DEMO_H
