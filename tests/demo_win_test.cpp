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
#include <fstream>
#include <iterator>
#include <string>

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

// The bytes a text-mode stream of the C runtime writes for text.
std::string InTextMode(const std::string &text) {
    std::string bytes;
    for (char c : text) {
        if (c == '\n') {
            bytes += '\r';
        }
        bytes += c;
    }
    return bytes;
}

struct ChildRun {
    DWORD Status = 0;
    std::string Errors;
};

// Runs the demonstration with standard input from NUL, standard output on
// output and standard error into a file, and returns its exit code and what
// it wrote to standard error.
ChildRun RunDemoWritingTo(HANDLE output) {
    ChildRun run;
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    char folder[MAX_PATH];
    char errorsPath[MAX_PATH];
    EXPECT_NE(0u, GetTempPathA(sizeof folder, folder));
    EXPECT_NE(0u, GetTempFileNameA(folder, "sld", 0, errorsPath));
    HANDLE errors = CreateFileA(errorsPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE input = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                               OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, errors);
    EXPECT_NE(INVALID_HANDLE_VALUE, input);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = errors;
    const char *command[] = {SLOT_LIST_DEMO_COMMAND};
    std::string line = std::string("\"") + command[0] + "\"";
    PROCESS_INFORMATION child = {};
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &child)) {
        if (WaitForSingleObject(child.hProcess, 60000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the demonstration did not end; killed";
            TerminateProcess(child.hProcess, 255);
            WaitForSingleObject(child.hProcess, INFINITE);
        }
        EXPECT_TRUE(GetExitCodeProcess(child.hProcess, &run.Status));
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    } else {
        ADD_FAILURE() << "CreateProcess failed: " << GetLastError();
    }
    CloseHandle(input);
    CloseHandle(errors);
    std::ifstream written(errorsPath, std::ios::binary);
    run.Errors.assign(std::istreambuf_iterator<char>(written), std::istreambuf_iterator<char>());
    written.close();
    DeleteFileA(errorsPath);
    return run;
}

// "写入输出失败, " in GBK.
const std::string WriteFailed = "\xd0\xb4\xc8\xeb\xca\xe4\xb3\xf6\xca\xa7\xb0\xdc, ";

// Output that cannot be written, through a handle open for reading only or
// with no standard output at all, makes the run a failure and says why on
// standard error: the system's text when the system refused the write, the C
// runtime's when the runtime had nothing to write through.
TEST(DemoRun, AFailedWriteOfItsOutputEndsInFailureAndSaysWhy) {
    char folder[MAX_PATH];
    char readOnlyPath[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(sizeof folder, folder));
    ASSERT_NE(0u, GetTempFileNameA(folder, "sld", 0, readOnlyPath));
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE readOnly = CreateFileA(readOnlyPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherited, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, readOnly);
    char badDescriptor[256] = "";
    ASSERT_EQ(0, strerror_s(badDescriptor, sizeof badDescriptor, EBADF));

    struct Case {
        const char *Name;
        HANDLE Output;
        std::string Text;
    };
    for (const Case &c : {Case{"read only", readOnly, SystemText(ERROR_ACCESS_DENIED)},
                          Case{"none", nullptr, badDescriptor}}) {
        SCOPED_TRACE(c.Name);
        ChildRun run = RunDemoWritingTo(c.Output);
        EXPECT_EQ(1u, run.Status);
        EXPECT_EQ(InTextMode(WriteFailed + c.Text + "\r\n"), run.Errors);
    }
    CloseHandle(readOnly);
    DeleteFileA(readOnlyPath);
}

} // namespace
