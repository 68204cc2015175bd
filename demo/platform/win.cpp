// The demonstration's platform pieces on Windows: FormatMessageA texts, wide
// console output for consoles, "pause", and the lstr* string routines.

#include "platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

int DemoLastErrorText(char *buffer, uint32_t size) {
    DWORD code = GetLastError();
    // FormatMessageA may write into its buffer even when it fails, and the
    // caller's text must then stay as it was.
    std::vector<char> text(size == 0 ? 1 : size);
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, text.data(),
                                  static_cast<DWORD>(text.size()), nullptr);
    if (length == 0 || size == 0) {
        return 0;
    }
    CopyMemory(buffer, text.data(), length < size ? length + 1 : size);
    buffer[size - 1] = '\0';
    return 1;
}

void DemoWrite(const char *bytes, size_t length) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode;
    if (length == 0 || length > INT_MAX || output == INVALID_HANDLE_VALUE ||
        !GetConsoleMode(output, &mode)) {
        fwrite(bytes, 1, length, stdout);
        return;
    }
    // A console shows the text whatever its code page when it gets UTF-16.
    int wideLength = MultiByteToWideChar(936, 0, bytes, static_cast<int>(length), nullptr, 0);
    std::vector<wchar_t> wide(wideLength > 0 ? wideLength : 1);
    if (wideLength <= 0 || MultiByteToWideChar(936, 0, bytes, static_cast<int>(length), wide.data(),
                                               wideLength) != wideLength) {
        fwrite(bytes, 1, length, stdout);
        return;
    }
    fflush(stdout);
    DWORD written;
    WriteConsoleW(output, wide.data(), static_cast<DWORD>(wideLength), &written, nullptr);
}

void DemoWaitForKey() {
    fflush(stdout);
    system("pause");
}

int32_t DemoCompareStrings(const char *first, const char *second) {
    return lstrcmpA(first, second);
}

void DemoCopyString(char *destination, const char *source) {
    lstrcpyA(destination, source);
}
