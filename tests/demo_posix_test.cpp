// The demonstration as a user meets it: its bytes, a whole run without a
// terminal, runs on a terminal (a key, Ctrl-C, Ctrl-Z and fg), and its failure
// messages.

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
#include <fstream>
#include <regex>
#include <string>
#include <utility>

#include "demo.h"
#include "messages.h"

std::string SystemText(int code) {
    return std::strerror(code);
}

int RefuseLikeTheSystem() {
    return errno = ENOMEM;
}

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

// The messages no run below shows; the runs check the others.
TEST(Messages, AreTheGbkBytesOfTheirTexts) {
    EXPECT_EQ(ToGbk("初始化链表失败, %s\r\n"), MsgCreateFailed);
    EXPECT_EQ(ToGbk("插入元素到链表失败 %s\r\n"), MsgInsertFailed);
    EXPECT_EQ(ToGbk("删除元素失败 %s\r\n"), MsgDeleteFailed);
    EXPECT_EQ(ToGbk("未能够找到数据\r\n"), MsgNotFound);
}

// Whether done() comes true within the given seconds.
template <typename Done>
bool Within(int seconds, Done done) {
    for (int tick = 0; tick < seconds * 100; tick++, usleep(10000)) {
        if (done()) {
            return true;
        }
    }
    return false;
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

// Waits for the child to end and returns its exit status, or 128 and the
// signal that ended it; one still running after a minute is killed, so that
// a test fails instead of hanging.
int WaitForEnd(pid_t child) {
    int status = -1;
    if (!Within(60, [&] { return waitpid(child, &status, WNOHANG) != 0; })) {
        ADD_FAILURE() << "the demonstration did not end; killed";
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct DemoOutcome {
    std::string Output;
    int Status = -1;
};

// Runs the demonstration with standard input on input and collects what it
// writes to capture. Capturing standard error, standard output is on output
// instead. A descriptor of -1 leaves its stream closed.
DemoOutcome RunDemo(int input, int capture = STDOUT_FILENO, int output = -1) {
    int pipeFds[2];
    EXPECT_EQ(0, pipe2(pipeFds, O_CLOEXEC));
    pid_t child = fork();
    if (child == 0) {
        auto put = [](int from, int to) { from < 0 ? close(to) : dup2(from, to); };
        put(input, STDIN_FILENO);
        if (capture != STDOUT_FILENO) {
            put(output, STDOUT_FILENO);
        }
        dup2(pipeFds[1], capture);
        // One that waits on its input is ended, so that the output comes to its end.
        alarm(60);
        ExecDemo();
    }
    close(pipeFds[1]);
    DemoOutcome run;
    char chunk[4096];
    for (ssize_t got; (got = read(pipeFds[0], chunk, sizeof chunk)) > 0;) {
        run.Output.append(chunk, static_cast<size_t>(got));
    }
    close(pipeFds[0]);
    run.Status = WaitForEnd(child);
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

// Without a terminal on standard input the key is the input's next byte, and
// its end ends the wait at once.
TEST(DemoRun, WithoutATerminalPrintsTheWholeScenarioAndTakesAByteAsTheKey) {
    int openPipe[2];
    ASSERT_EQ(0, pipe2(openPipe, O_CLOEXEC));
    ASSERT_EQ(1, write(openPipe[1], "k", 1));
    const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const std::pair<const char *, int> inputs[] = {
        {"/dev/null", null}, {"a pipe", openPipe[0]}, {"closed", -1}};
    for (auto [name, input] : inputs) {
        DemoOutcome run = RunDemo(input);
        EXPECT_EQ(0, run.Status) << name;
        EXPECT_TRUE(std::regex_match(run.Output, ExpectedRun())) << name << ": " << run.Output;
    }
    char left;
    fcntl(openPipe[0], F_SETFL, O_NONBLOCK);
    EXPECT_EQ(-1, read(openPipe[0], &left, 1)) << "the key was not read";
    for (int fd : {null, openPipe[0], openPipe[1]}) {
        close(fd);
    }
}

// Output that cannot be written, on a full disk or with standard output
// closed, makes the run a failure and says why on standard error.
TEST(DemoRun, AFailedWriteOfItsOutputEndsInFailureAndSaysWhy) {
    const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    for (auto [output, error] : {std::pair<int, int>{full, ENOSPC}, {-1, EBADF}}) {
        SCOPED_TRACE(std::strerror(error));
        DemoOutcome run = RunDemo(null, STDERR_FILENO, output);
        EXPECT_EQ(1, run.Status);
        EXPECT_EQ(ToGbk("写入输出失败, ") + std::strerror(error) + "\r\n", run.Output);
    }
    close(null);
    close(full);
}

// Whether the terminal comes into the key wait's mode (no line editing, no
// echo) within ten seconds.
bool ComesIntoTheKeyMode(int terminal) {
    termios mode;
    return Within(10, [&] {
        return tcgetattr(terminal, &mode) == 0 && (mode.c_lflag & (ICANON | ECHO)) == 0;
    });
}

// The demonstration in the foreground of a terminal with job control, as a
// shell runs it, brought to its prompt. Shell, a child of the test, leads the
// terminal's session and starts the demonstration in a process group of its
// own: only then does a stop (Ctrl-Z) stop it, as the system discards stops in
// a process group with no parent outside it in the session. Shell ends as the
// demonstration did: its exit status, or 128 and the signal that ended it.
// The test writes keys to Keyboard, the terminal's other side, and keeps the
// terminal open itself, to look at its modes and unread input afterwards.
struct TerminalRun {
    explicit TerminalRun(const char *locale);
    ~TerminalRun();
    TerminalRun(const TerminalRun &) = delete;
    TerminalRun &operator=(const TerminalRun &) = delete;

    pid_t Shell = -1;
    int Keyboard = -1;
    int Terminal = -1;
    termios Before = {};
    std::string Seen; // all it showed up to its prompt
};

[[noreturn]] void RunShell(int terminal, const char *locale) {
    if (setsid() == -1 || ioctl(terminal, TIOCSCTTY, 0) == -1) {
        _exit(126);
    }
    // Both hand the terminal to the demonstration, which SIGTTOU would stop.
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
        setenv("LC_ALL", locale, 1);
        ExecDemo();
    }
    setpgid(demo, demo);
    tcsetpgrp(terminal, demo);
    int status = 0;
    waitpid(demo, &status, 0);
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

TerminalRun::TerminalRun(const char *locale) {
    EXPECT_EQ(0, openpty(&Keyboard, &Terminal, nullptr, nullptr, nullptr));
    EXPECT_EQ(0, tcgetattr(Terminal, &Before));
    // The demonstration is to hold the terminal as its standard streams only.
    fcntl(Terminal, F_SETFD, FD_CLOEXEC);
    Shell = fork();
    if (Shell == 0) {
        close(Keyboard);
        RunShell(Terminal, locale);
    }
    pollfd poller = {Keyboard, POLLIN, 0};
    char chunk[1024];
    ssize_t got;
    while (Seen.find("请按任意键继续. . .") == std::string::npos && poll(&poller, 1, 10000) > 0 &&
           (got = read(Keyboard, chunk, sizeof chunk)) > 0) {
        Seen.append(chunk, static_cast<size_t>(got));
    }
    EXPECT_NE(std::string::npos, Seen.find("请按任意键继续. . .")) << Seen;
    EXPECT_TRUE(ComesIntoTheKeyMode(Terminal));
}

// Closing the terminal's other side hangs up on a demonstration still waiting.
TerminalRun::~TerminalRun() {
    close(Keyboard);
    if (Shell > 0) {
        WaitForEnd(Shell);
    }
    close(Terminal);
}

// The terminal is back in the modes it had, and nothing is left unread in it.
void ExpectGivenBack(const TerminalRun &run) {
    termios after;
    ASSERT_EQ(0, tcgetattr(run.Terminal, &after));
    EXPECT_EQ(run.Before.c_lflag, after.c_lflag);
    after.c_lflag &= ~static_cast<tcflag_t>(ICANON);
    after.c_cc[VMIN] = 0;
    after.c_cc[VTIME] = 0;
    ASSERT_EQ(0, tcsetattr(run.Terminal, TCSANOW, &after));
    fcntl(run.Terminal, F_SETFL, O_NONBLOCK);
    char left[16];
    EXPECT_GE(0, read(run.Terminal, left, sizeof left));
}

// Whether the process is stopped: its state in /proc is T.
bool IsStopped(pid_t process) {
    std::ifstream status("/proc/" + std::to_string(process) + "/stat");
    std::string line;
    std::getline(status, line);
    return line.find(") T") != std::string::npos;
}

// On a terminal: a UTF-8 one gets the text converted, and so does one in the
// C locale, whose codeset (ASCII) cannot carry it. The demonstration sits at
// its prompt until a key comes; an arrow key's three bytes, sent at once, are
// all taken, so none reaches whatever reads the terminal next. Ctrl-C ends it
// by SIGINT; Ctrl-Z gives the shell its terminal back in the modes it had,
// and fg puts the wait back in its own, where one key, without Enter or echo,
// ends it. Every way, the terminal is left in its modes.
TEST(DemoRun, OnATerminalTakesOneKeyAndGivesTheModesBack) {
    struct Row {
        const char *Locale;
        bool Stop; // Ctrl-Z, then fg, before the key
        const char *Key;
        int Ending;
    };
    for (const Row &row :
         {Row{"C.UTF-8", false, "\x1b[A", 0}, Row{"C", false, "\x1b[A", 0},
          Row{"C.UTF-8", false, "\x03", 128 + SIGINT}, Row{"C.UTF-8", true, "k", 0}}) {
        SCOPED_TRACE(std::string(row.Locale) + (row.Stop ? ", stopped" : "") + ", key " +
                     std::to_string(row.Key[0]));
        TerminalRun run(row.Locale);
        for (const char *shown :
             {"插入元素到链表成功!", "hello\t遍历结束", "nihao\t遍历结束", " 数据是:1634232686"}) {
            EXPECT_NE(std::string::npos, run.Seen.find(shown)) << shown;
        }
        pollfd poller = {run.Keyboard, POLLIN, 0};
        EXPECT_EQ(0, poll(&poller, 1, 300));
        EXPECT_EQ(0, waitpid(run.Shell, nullptr, WNOHANG));
        if (row.Stop) {
            const pid_t demo = tcgetpgrp(run.Keyboard);
            ASSERT_EQ(1, write(run.Keyboard, "\x1a", 1));
            ASSERT_TRUE(Within(10, [&] { return IsStopped(demo); }));
            termios stopped;
            ASSERT_EQ(0, tcgetattr(run.Terminal, &stopped));
            EXPECT_EQ(run.Before.c_lflag, stopped.c_lflag);
            ASSERT_EQ(0, kill(demo, SIGCONT));
            EXPECT_TRUE(ComesIntoTheKeyMode(run.Terminal));
        }
        const size_t length = std::strlen(row.Key);
        ASSERT_EQ(static_cast<ssize_t>(length), write(run.Keyboard, row.Key, length));
        EXPECT_EQ(row.Ending, WaitForEnd(run.Shell));
        run.Shell = -1;
        ExpectGivenBack(run);
    }
}

} // namespace
