// The demonstration's platform pieces on Windows: FormatMessageA texts, wide
// console output for consoles, output errors, "pause", and the lstr* string
// routines.

#include "console.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <errno.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "messages.h"

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

namespace {

// What first kept bytes from standard output since the last DemoFinishOutput:
// the system's error code, or, for a failure of the C runtime's own (a
// descriptor that is not open), 0 and the runtime's errno.
bool OutputFailed = false;
DWORD OutputError = 0;
int OutputErrno = 0;

void NoteOutputError(DWORD code, int runtimeErrno) {
    if (!OutputFailed) {
        OutputFailed = true;
        OutputError = code;
        OutputErrno = runtimeErrno;
    }
}

// The C runtime's calls on a stream. One that fails leaves the system's code
// in _doserrno when the system refused the write, and 0 there when the runtime
// failed the call itself. Nothing here sets the thread's last-error value:
// failure messages show what the system left there.
void Put(FILE *stream, const char *bytes, size_t length) {
    _doserrno = 0;
    if (fwrite(bytes, 1, length, stream) != length && stream == stdout) {
        NoteOutputError(static_cast<DWORD>(_doserrno), errno);
    }
}

void Flush(FILE *stream) {
    _doserrno = 0;
    if (fflush(stream) != 0 && stream == stdout) {
        NoteOutputError(static_cast<DWORD>(_doserrno), errno);
    }
}

// A console shows the text whatever its code page when it gets UTF-16; a
// file or a pipe gets the bytes as they are.
void WriteTo(DWORD which, FILE *stream, const char *bytes, size_t length) {
    HANDLE handle = GetStdHandle(which);
    DWORD mode;
    if (length == 0 || length > INT_MAX || handle == INVALID_HANDLE_VALUE ||
        !GetConsoleMode(handle, &mode)) {
        Put(stream, bytes, length);
        return;
    }
    int wideLength = MultiByteToWideChar(936, 0, bytes, static_cast<int>(length), nullptr, 0);
    std::vector<wchar_t> wide(wideLength > 0 ? wideLength : 1);
    if (wideLength <= 0 || MultiByteToWideChar(936, 0, bytes, static_cast<int>(length), wide.data(),
                                               wideLength) != wideLength) {
        Put(stream, bytes, length);
        return;
    }
    Flush(stream);
    DWORD written = 0;
    if ((!WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wideLength), &written, nullptr) ||
         written != static_cast<DWORD>(wideLength)) &&
        stream == stdout) {
        NoteOutputError(GetLastError(), 0);
    }
}

} // namespace

void DemoWrite(const char *bytes, size_t length) {
    WriteTo(STD_OUTPUT_HANDLE, stdout, bytes, length);
}

void DemoWaitForKey() {
    Flush(stdout);
    system("pause");
}

int DemoFinishOutput() {
    Flush(stdout);
    if (!OutputFailed && !ferror(stdout)) {
        return 1;
    }
    char text[1024] = "";
    if (OutputError == 0 || FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, OutputError, 0,
                                           text, static_cast<DWORD>(sizeof text), nullptr) == 0) {
        strerror_s(text, sizeof text, OutputErrno != 0 ? OutputErrno : EIO);
    }
    char message[sizeof text + sizeof MsgWriteFailed];
    int length = snprintf(message, sizeof message, MsgWriteFailed, text);
    if (length > 0) {
        // In parentheses: windows.h may define min as a macro.
        WriteTo(STD_ERROR_HANDLE, stderr, message,
                (std::min)(static_cast<size_t>(length), sizeof message - 1));
        fflush(stderr);
    }
    OutputFailed = false;
    OutputError = 0;
    OutputErrno = 0;
    clearerr(stdout);
    return 0;
}

int32_t DemoCompareStrings(const char *first, const char *second) {
    return lstrcmpA(first, second);
}

void DemoCopyString(char *destination, const char *source) {
    lstrcpyA(destination, source);
}
