// The demonstration as a user meets it: its bytes, a whole run with no input,
// a run on a terminal, and its failure message.

#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <iostream>
#include <regex>
#include <string>

#include "demo.h"
#include "messages.h"
#include "scenario_run.h"

namespace {

// The GBK bytes of UTF-8 text, by the system's converter.
std::string ToGbk(const std::string &utf8) {
    iconv_t converter = iconv_open("GBK", "UTF-8");
    EXPECT_NE(reinterpret_cast<iconv_t>(-1), converter);
    std::string out(utf8.size() * 2, '\0');
    char *in = const_cast<char *>(utf8.data());
    size_t inLeft = utf8.size();
    char *to = &out[0];
    size_t outLeft = out.size();
    EXPECT_NE(static_cast<size_t>(-1), iconv(converter, &in, &inLeft, &to, &outLeft));
    iconv_close(converter);
    out.resize(out.size() - outLeft);
    return out;
}

TEST(Messages, AreTheGbkBytesOfTheirTexts) {
    EXPECT_EQ(ToGbk("初始化链表失败, %s\r\n"), MsgCreateFailed);
    EXPECT_EQ(ToGbk("插入元素到链表成功!\r\n"), MsgInsertOk);
    EXPECT_EQ(ToGbk("插入元素到链表失败 %s\r\n"), MsgInsertFailed);
    EXPECT_EQ(ToGbk("删除元素成功!\r\n"), MsgDeleteOk);
    EXPECT_EQ(ToGbk("删除元素失败 %s\r\n"), MsgDeleteFailed);
    EXPECT_EQ(ToGbk("未能够找到数据\r\n"), MsgNotFound);
    EXPECT_EQ(ToGbk("找到该数据指针是:%p 数据是:%d\r\n"), MsgFound);
    EXPECT_EQ(ToGbk("遍历结束\r\n"), MsgTraverseEnd);
    EXPECT_EQ(ToGbk("请按任意键继续. . ."), MsgPressAnyKey);
}

// Replaces the calling (child) process with the demonstration, started the
// way the tests themselves are: through the build's emulator, if it has one
// (found in PATH when it is named bare, as valgrind is). The ending signals
// are at their defaults and none is blocked, as a shell leaves them for a
// program in the foreground: a runner started in the background may have
// passed them on ignored or blocked, and the demonstration keeps either.
[[noreturn]] void ExecDemo() {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int ending : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
        signal(ending, SIG_DFL);
    }
    const char *command[] = {SLOT_LIST_DEMO_COMMAND, nullptr};
    execvp(command[0], const_cast<char *const *>(command));
    _exit(127);
}

// Waits for the child to end and returns its wait status; one that is still
// running after a minute is killed, so that a test fails instead of hanging.
int WaitForEnd(pid_t child) {
    int status = -1;
    for (int tick = 0; tick < 6000; tick++) {
        pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended != 0) {
            EXPECT_EQ(child, ended);
            return status;
        }
        usleep(10000);
    }
    ADD_FAILURE() << "the demonstration did not end; killed";
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return -1;
}

struct DemoOutcome {
    std::string Output;
    int Status = -1;
};

// Runs the demonstration with standard input from inputPath (closed when
// null) and collects its standard output.
DemoOutcome RunDemo(const char *inputPath) {
    int pipeFds[2];
    EXPECT_EQ(0, pipe(pipeFds));
    pid_t child = fork();
    if (child == 0) {
        close(STDIN_FILENO);
        if (inputPath != nullptr && open(inputPath, O_RDONLY) != STDIN_FILENO) {
            _exit(126);
        }
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        ExecDemo();
    }
    close(pipeFds[1]);
    DemoOutcome run;
    char chunk[4096];
    ssize_t got;
    while ((got = read(pipeFds[0], chunk, sizeof chunk)) > 0) {
        run.Output.append(chunk, static_cast<size_t>(got));
    }
    close(pipeFds[0]);
    int status = WaitForEnd(child);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The whole output of a normal run, the address left as a pattern.
std::regex ExpectedRun() {
    std::string before = ToGbk("插入元素到链表成功!\r\nhello\t遍历结束\r\n"
                               "插入元素到链表成功!\r\nhello\tnihao\t遍历结束\r\n"
                               "删除元素成功!\r\nnihao\t遍历结束\r\n找到该数据指针是:");
    std::string after = ToGbk(" 数据是:1634232686\r\n请按任意键继续. . .\r\n");
    auto quote = [](const std::string &text) {
        return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
    };
    return std::regex(quote(before) + "(0x)?[0-9a-fA-F]+" + quote(after));
}

TEST(DemoRun, WithoutInputPrintsTheWholeScenarioAndEnds) {
    for (const char *input : {"/dev/null", static_cast<const char *>(nullptr)}) {
        DemoOutcome run = RunDemo(input);
        EXPECT_EQ(0, run.Status) << (input ? input : "closed");
        EXPECT_TRUE(std::regex_match(run.Output, ExpectedRun())) << run.Output;
    }
}

// Reads from fd until text shows up in what was read, or the wait runs out.
bool ReadUntil(int fd, std::string &seen, const std::string &text) {
    while (seen.find(text) == std::string::npos) {
        pollfd poller = {fd, POLLIN, 0};
        char chunk[1024];
        if (poll(&poller, 1, 10000) <= 0) {
            return false;
        }
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got <= 0) {
            return false;
        }
        seen.append(chunk, static_cast<size_t>(got));
    }
    return true;
}

// A UTF-8 terminal gets the text converted; the C locale's codeset is plain
// ASCII, which cannot carry it, so that terminal is taken to read UTF-8 too.
// Either way the demonstration sits at its prompt until a key comes.
TEST(DemoRun, OnATerminalShowsReadableTextAndWaitsForAKey) {
    for (const char *locale : {"C.UTF-8", "C"}) {
        SCOPED_TRACE(locale);
        int terminal;
        pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
        ASSERT_NE(-1, child);
        if (child == 0) {
            setenv("LC_ALL", locale, 1);
            ExecDemo();
        }
        std::string seen;
        ASSERT_TRUE(ReadUntil(terminal, seen, "请按任意键继续. . .")) << seen;
        EXPECT_NE(std::string::npos, seen.find("插入元素到链表成功!"));
        EXPECT_NE(std::string::npos, seen.find("hello\t遍历结束"));
        EXPECT_NE(std::string::npos, seen.find("nihao\t遍历结束"));
        EXPECT_NE(std::string::npos, seen.find(" 数据是:1634232686"));

        // It sits at the prompt: nothing more comes and it has not ended.
        pollfd poller = {terminal, POLLIN, 0};
        EXPECT_EQ(0, poll(&poller, 1, 300));
        int status;
        EXPECT_EQ(0, waitpid(child, &status, WNOHANG));

        ASSERT_EQ(1, write(terminal, "k", 1));
        char drain[256];
        while (poll(&poller, 1, 10000) > 0 && read(terminal, drain, sizeof drain) > 0) {
        }
        status = WaitForEnd(child);
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(0, WEXITSTATUS(status));
        close(terminal);
    }
}

// The demonstration on a terminal of its own, whose other side (Keyboard) the
// test writes keys to. The test keeps the terminal itself open as well, so
// that its modes and unread input can still be looked at once the
// demonstration has ended.
struct TerminalRun {
    pid_t Child = -1;
    int Keyboard = -1;
    int Terminal = -1;
    termios Before = {};
};

TerminalRun StartOnTerminal() {
    TerminalRun run;
    EXPECT_EQ(0, openpty(&run.Keyboard, &run.Terminal, nullptr, nullptr, nullptr));
    EXPECT_EQ(0, tcgetattr(run.Terminal, &run.Before));
    run.Child = fork();
    if (run.Child == 0) {
        close(run.Keyboard);
        if (setsid() == -1 || ioctl(run.Terminal, TIOCSCTTY, 0) == -1) {
            _exit(126);
        }
        for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
            dup2(run.Terminal, fd);
        }
        close(run.Terminal);
        setenv("LC_ALL", "C.UTF-8", 1);
        ExecDemo();
    }
    return run;
}

#if defined(__SANITIZE_THREAD__)
constexpr bool UnderThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool UnderThreadSanitizer = true;
#else
constexpr bool UnderThreadSanitizer = false;
#endif
#else
constexpr bool UnderThreadSanitizer = false;
#endif

// An arrow key sends three bytes at once: the wait takes all of them, so none
// reaches whatever reads the terminal next. Ctrl-C ends the wait by SIGINT.
// Either way the terminal's modes are back as they were.
TEST(DemoRun, OnATerminalTheKeyWaitTakesAWholeKeyAndRestoresTheModes) {
    struct Case {
        std::string Keys;
        int Signal;
    };
    for (const Case &key : {Case{"\x1b[A", 0}, Case{"\x03", SIGINT}}) {
        if (key.Signal != 0 && UnderThreadSanitizer) {
            // ThreadSanitizer runs a handler only when the thread that took
            // the signal reaches one of its own checkpoints, which its own
            // background thread may never do. Every other configuration runs
            // this case.
            std::cout << "the Ctrl-C case does not run under ThreadSanitizer\n";
            continue;
        }
        TerminalRun run = StartOnTerminal();
        ASSERT_NE(-1, run.Child);
        std::string seen;
        EXPECT_TRUE(ReadUntil(run.Keyboard, seen, "请按任意键继续. . .")) << seen;
        ASSERT_EQ(static_cast<ssize_t>(key.Keys.size()),
                  write(run.Keyboard, key.Keys.data(), key.Keys.size()));
        int status = WaitForEnd(run.Child);
        if (key.Signal == 0) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        } else {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == key.Signal) << status;
        }

        termios after;
        ASSERT_EQ(0, tcgetattr(run.Terminal, &after));
        EXPECT_EQ(run.Before.c_lflag, after.c_lflag);
        // Whatever is left unread, taken without waiting.
        after.c_lflag &= ~static_cast<tcflag_t>(ICANON);
        after.c_cc[VMIN] = 0;
        after.c_cc[VTIME] = 0;
        ASSERT_EQ(0, tcsetattr(run.Terminal, TCSANOW, &after));
        char left[16];
        EXPECT_EQ(0, read(run.Terminal, left, sizeof left));
        close(run.Terminal);
        close(run.Keyboard);
    }
}

// A heap that refuses everything the way the C heap does: setting ENOMEM.
void *RefuseAlloc(uint32_t) {
    errno = ENOMEM;
    return nullptr;
}
void *RefuseReAlloc(void *, uint32_t) {
    errno = ENOMEM;
    return nullptr;
}
int AcceptFree(void *) {
    return 1;
}

TEST(DemoRun, ReportsAFailedCreationWithTheSystemText) {
    ScenarioRun run = RunScenarioWithHeap({RefuseAlloc, RefuseReAlloc, AcceptFree});
    EXPECT_EQ(1, run.Status);
    EXPECT_EQ(ToGbk("初始化链表失败, ") + std::strerror(ENOMEM) + "\r\n", run.Output);
}

TEST(FormatLastError, KeepsTheSystemTextForTheLastError) {
    errno = EACCES;
    FormatLastError();
    EXPECT_STREQ(std::strerror(EACCES), ErrorText);
}

} // namespace
