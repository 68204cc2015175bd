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
    EXPECT_EQ(ToGbk("写入输出失败, %s\r\n"), MsgWriteFailed);
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

// Runs the demonstration with standard input from inputPath and collects
// what it writes to capture. Capturing standard error, standard output is
// opened on outputPath instead. A null path leaves its stream closed.
DemoOutcome RunDemo(const char *inputPath, int capture = STDOUT_FILENO,
                    const char *outputPath = nullptr) {
    int pipeFds[2];
    EXPECT_EQ(0, pipe(pipeFds));
    pid_t child = fork();
    if (child == 0) {
        close(STDIN_FILENO);
        if (inputPath != nullptr && open(inputPath, O_RDONLY) != STDIN_FILENO) {
            _exit(126);
        }
        if (capture != STDOUT_FILENO) {
            close(STDOUT_FILENO);
            if (outputPath != nullptr && open(outputPath, O_WRONLY) != STDOUT_FILENO) {
                _exit(126);
            }
        }
        dup2(pipeFds[1], capture);
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

// Output that cannot be written, on a full disk or with standard output
// closed, makes the run a failure and says why on standard error.
TEST(DemoRun, AFailedWriteOfItsOutputEndsInFailureAndSaysWhy) {
    struct Case {
        const char *Output;
        int Error;
    };
    for (const Case &c : {Case{"/dev/full", ENOSPC}, Case{nullptr, EBADF}}) {
        SCOPED_TRACE(c.Output != nullptr ? c.Output : "closed");
        DemoOutcome run = RunDemo("/dev/null", STDERR_FILENO, c.Output);
        EXPECT_EQ(1, run.Status);
        EXPECT_EQ(ToGbk("写入输出失败, ") + std::strerror(c.Error) + "\r\n", run.Output);
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

// The demonstration in the foreground of a terminal with job control, as a
// shell runs it. Shell, a child of the test, leads the terminal's session and
// starts the demonstration in a process group of its own: only then does a
// stop (Ctrl-Z) stop it, as the system discards stops in a process group with
// no parent outside it in the session. Shell tells the test on Reports when the
// demonstration stopped ('S') and how it ended ('0' for exit status 0, 'X'
// otherwise), and continues it in the foreground, as fg does, on a byte from
// Commands.
struct JobRun {
    pid_t Shell = -1;
    int Keyboard = -1;
    int Terminal = -1;
    int Reports = -1;
    int Commands = -1;
    termios Before = {};
};

[[noreturn]] void RunShell(int terminal, int reports, int commands) {
    if (setsid() == -1 || ioctl(terminal, TIOCSCTTY, 0) == -1) {
        _exit(126);
    }
    // A shell hands the terminal from the background, which SIGTTOU would stop.
    signal(SIGTTOU, SIG_IGN);
    pid_t demo = fork();
    if (demo == 0) {
        setpgid(0, 0);
        tcsetpgrp(terminal, getpid());
        for (int job : {SIGTSTP, SIGCONT, SIGTTIN, SIGTTOU}) {
            signal(job, SIG_DFL);
        }
        for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
            dup2(terminal, fd);
        }
        for (int fd : {terminal, reports, commands}) {
            close(fd);
        }
        setenv("LC_ALL", "C.UTF-8", 1);
        ExecDemo();
    }
    setpgid(demo, demo);
    tcsetpgrp(terminal, demo);
    int status;
    while (waitpid(demo, &status, WUNTRACED) == demo) {
        if (WIFSTOPPED(status)) {
            tcsetpgrp(terminal, getpgrp());
            char command;
            if (write(reports, "S", 1) != 1 || read(commands, &command, 1) != 1) {
                kill(-demo, SIGKILL);
                _exit(125);
            }
            tcsetpgrp(terminal, demo);
            kill(-demo, SIGCONT);
            continue;
        }
        const bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        _exit(write(reports, clean ? "0" : "X", 1) == 1 ? 0 : 124);
    }
    _exit(123);
}

JobRun StartAsAJob() {
    JobRun run;
    int reports[2];
    int commands[2];
    EXPECT_EQ(0, openpty(&run.Keyboard, &run.Terminal, nullptr, nullptr, nullptr));
    EXPECT_EQ(0, tcgetattr(run.Terminal, &run.Before));
    EXPECT_EQ(0, pipe(reports));
    EXPECT_EQ(0, pipe(commands));
    run.Shell = fork();
    if (run.Shell == 0) {
        close(run.Keyboard);
        close(reports[0]);
        close(commands[1]);
        RunShell(run.Terminal, reports[1], commands[0]);
    }
    close(reports[1]);
    close(commands[0]);
    run.Reports = reports[0];
    run.Commands = commands[1];
    return run;
}

// The shell's next report, or '?' when none comes within ten seconds.
char NextReport(const JobRun &run) {
    pollfd poller = {run.Reports, POLLIN, 0};
    char report = '?';
    if (poll(&poller, 1, 10000) <= 0 || read(run.Reports, &report, 1) != 1) {
        return '?';
    }
    return report;
}

// Whether the terminal comes into the key wait's mode (no line editing, no
// echo) within ten seconds.
bool ComesIntoTheKeyMode(int terminal) {
    for (int tick = 0; tick < 1000; tick++) {
        termios mode;
        if (tcgetattr(terminal, &mode) == 0 && (mode.c_lflag & (ICANON | ECHO)) == 0) {
            return true;
        }
        usleep(10000);
    }
    return false;
}

// Ctrl-Z during the wait gives the shell its terminal back in the modes it
// had, and fg puts the wait back in its own: one key, without Enter or echo,
// ends it. Skipped under ThreadSanitizer, in a suite of its own, so that ctest
// (a suite is one test there) lists the skip under a name that says why.
TEST(DemoRunOutsideThreadSanitizer, OnATerminalAStopGivesTheModesBackAndFgTakesTheKeyWaitUpAgain) {
    if (UnderThreadSanitizer) {
        GTEST_SKIP() << "ThreadSanitizer runs the stop's handler only at a checkpoint of its own";
    }
    JobRun run = StartAsAJob();
    ASSERT_NE(-1, run.Shell);
    std::string seen;
    ASSERT_TRUE(ReadUntil(run.Keyboard, seen, "请按任意键继续. . .")) << seen;
    EXPECT_TRUE(ComesIntoTheKeyMode(run.Terminal));

    ASSERT_EQ(1, write(run.Keyboard, "\x1a", 1));
    ASSERT_EQ('S', NextReport(run));
    termios stopped;
    ASSERT_EQ(0, tcgetattr(run.Terminal, &stopped));
    EXPECT_EQ(run.Before.c_lflag, stopped.c_lflag);

    ASSERT_EQ(1, write(run.Commands, "f", 1));
    EXPECT_TRUE(ComesIntoTheKeyMode(run.Terminal));
    ASSERT_EQ(1, write(run.Keyboard, "k", 1));
    EXPECT_EQ('0', NextReport(run));
    std::string after;
    char chunk[256];
    pollfd poller = {run.Keyboard, POLLIN, 0};
    ssize_t got;
    while (poll(&poller, 1, 300) > 0 && (got = read(run.Keyboard, chunk, sizeof chunk)) > 0) {
        after.append(chunk, static_cast<size_t>(got));
    }
    EXPECT_EQ(std::string::npos, after.find('k')) << "the key was echoed: " << after;
    termios ended;
    ASSERT_EQ(0, tcgetattr(run.Terminal, &ended));
    EXPECT_EQ(run.Before.c_lflag, ended.c_lflag);

    int status = WaitForEnd(run.Shell);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    for (int fd : {run.Keyboard, run.Terminal, run.Reports, run.Commands}) {
        close(fd);
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
