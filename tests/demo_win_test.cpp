// The demonstration on Windows: the system's heap and texts behind
// demo_test.cpp, and output that cannot be written, in a child process.

#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <errno.h>

#include <cstdint>
#include <cstring>
#include <regex>
#include <string>

#include "messages.h"

std::string SystemText(int code) {
    char text[1024] = "";
    return std::string(text, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, text,
                                            sizeof text, nullptr));
}

int RefuseLikeTheSystem() {
    SetLastError(ERROR_SUCCESS);
    HeapAlloc(GetProcessHeap(), 0, SIZE_MAX / 2);
    return static_cast<int>(GetLastError());
}

namespace {

// Output through a handle open for reading only, or with none, fails the run,
// and standard error, in text mode, says why: the system's text when the
// system refused the write, the C runtime's when it had nothing to write to.
TEST(DemoRun, AFailedWriteOfItsOutputEndsInFailureAndSaysWhy) {
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    // The key's input, and an output that refuses writes.
    HANDLE nul = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                             OPEN_EXISTING, 0, nullptr);
    char line[] = "\"" SLOT_LIST_DEMO_COMMAND "\"";
    auto run = [&](HANDLE output, const std::string &text) {
        HANDLE errors = nullptr, errorsWritten = nullptr;
        ASSERT_TRUE(CreatePipe(&errors, &errorsWritten, &inherited, 0));
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nul;
        startup.hStdOutput = output;
        startup.hStdError = errorsWritten;
        PROCESS_INFORMATION child = {};
        EXPECT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                   &startup, &child));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child.hProcess, 60000));
        TerminateProcess(child.hProcess, 255); // one that did not end within the minute
        DWORD status = 255;
        GetExitCodeProcess(child.hProcess, &status);
        EXPECT_EQ(1u, status);
        CloseHandle(errorsWritten);
        std::string written;
        char chunk[4096];
        for (DWORD got; ReadFile(errors, chunk, sizeof chunk, &got, nullptr) && got > 0;) {
            written.append(chunk, got);
        }
        std::string expected = MsgWriteFailed;
        expected.replace(expected.find("%s"), 2, text);
        EXPECT_EQ(std::regex_replace(expected, std::regex("\n"), "\r\n"), written);
        for (HANDLE handle : {errors, child.hThread, child.hProcess}) {
            CloseHandle(handle);
        }
    };
    run(nul, SystemText(ERROR_ACCESS_DENIED));
    char badDescriptor[256] = "";
    ASSERT_EQ(0, strerror_s(badDescriptor, sizeof badDescriptor, EBADF));
    run(nullptr, badDescriptor);
    CloseHandle(nul);
}

} // namespace
