// The demonstration as a user meets it, as a child process: its whole runs and messages.

#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <tuple>

#include "messages.h"

std::string SystemText(int code) {
    return std::strerror(code);
}

int RefuseLikeTheSystem() {
    return errno = ENOMEM;
}

namespace {

std::string Gbk(std::string utf8) {
    std::string gbk(utf8.size() * 2, '\0');
    char *in = &utf8[0], *out = &gbk[0];
    size_t inLeft = utf8.size(), outLeft = gbk.size();
    iconv_t converter = iconv_open("GBK", "UTF-8");
    EXPECT_NE(static_cast<size_t>(-1), iconv(converter, &in, &inLeft, &out, &outLeft));
    iconv_close(converter);
    return gbk.substr(0, gbk.size() - outLeft);
}

// The messages no run below shows whole; the runs check the others.
TEST(Messages, AreTheGbkBytesOfTheirTexts) {
    EXPECT_EQ(Gbk("初始化链表失败, %s\r\n"), MsgCreateFailed);
    EXPECT_EQ(Gbk("插入元素到链表失败 %s\r\n"), MsgInsertFailed);
    EXPECT_EQ(Gbk("删除元素失败 %s\r\n"), MsgDeleteFailed);
    EXPECT_EQ(Gbk("未能够找到数据\r\n"), MsgNotFound);
}

// Starts the demonstration (through the build's emulator, if any) on input,
// output and errors (-1: closed) as a shell's job: in a process group of its
// own under the test, which keeps the system from discarding its stop.
pid_t StartDemo(int input, int output, int errors, const char *locale = "C") {
    const pid_t demo = fork();
    if (demo != 0) {
        return demo;
    }
    int fd = STDIN_FILENO;
    for (int from : {input, output, errors}) {
        close(fd);
        dup2(from, fd++);
    }
    setpgid(0, 0);
    // A runner started in the background may pass these on ignored or blocked.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int reset : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGTSTP, SIGCONT, SIGTTIN, SIGTTOU}) {
        signal(reset, SIG_DFL);
    }
    setenv("LC_ALL", locale, 1);
    alarm(60); // one left waiting fails the test instead of hanging it
    const char *command[] = {SLOT_LIST_DEMO_COMMAND, nullptr};
    execvp(command[0], const_cast<char *const *>(command));
    _exit(127);
}

int WaitForEnd(pid_t demo) {
    int status = 0;
    waitpid(demo, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Without a terminal the key is the input's next byte, from a pipe left open,
// and the end of input, or none, ends the wait at once. Output that cannot be
// written fails the run, and standard error says why.
TEST(DemoRun, WithoutATerminalShowsTheScenarioOrWhyNot) {
    int keys[2];
    ASSERT_EQ(0, pipe2(keys, O_CLOEXEC));
    ASSERT_EQ(1, write(keys[1], "k", 1));
    const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    constexpr int captured = -2;
    auto run = [](int input, int output, int status, const std::string &shown) {
        SCOPED_TRACE("input " + std::to_string(input) + ", output " + std::to_string(output));
        FILE *capture = std::tmpfile();
        const int file = fileno(capture);
        EXPECT_EQ(status, WaitForEnd(StartDemo(input, output == captured ? file : output, file)));
        std::string seen(4096, '\0');
        std::rewind(capture);
        seen.resize(std::fread(&seen[0], 1, seen.size(), capture));
        std::fclose(capture);
        EXPECT_EQ(shown, std::regex_replace(seen, std::regex(":(0x)?[0-9a-fA-F]+ "), ":%p "));
    };
    const std::string scenario = Gbk("插入元素到链表成功!\r\nhello\t遍历结束\r\n"
                                     "插入元素到链表成功!\r\nhello\tnihao\t遍历结束\r\n"
                                     "删除元素成功!\r\nnihao\t遍历结束\r\n"
                                     "找到该数据指针是:%p 数据是:1634232686\r\n"
                                     "请按任意键继续. . .\r\n");
    run(null, captured, 0, scenario);
    run(keys[0], captured, 0, scenario);
    run(-1, captured, 0, scenario);
    run(null, full, 1, Gbk("写入输出失败, ") + std::strerror(ENOSPC) + "\r\n");
    run(null, -1, 1, Gbk("写入输出失败, ") + std::strerror(EBADF) + "\r\n");
    close(keys[1]);
    char left;
    EXPECT_EQ(0, read(keys[0], &left, 1)) << "the key was not read";
    for (int fd : {null, full, keys[0]}) {
        close(fd);
    }
}

tcflag_t LocalModes(int terminal) {
    termios mode = {};
    tcgetattr(terminal, &mode);
    return mode.c_lflag;
}

// A terminal in the C locale, whose codeset (ASCII) cannot carry the text,
// gets UTF-8 too. The prompt shows in the key mode (no line editing, no echo),
// and nothing follows until a key. Ctrl-Z stops the wait in the terminal's own
// modes, and fg resumes it in the key mode; then one key ends it: an arrow's
// three bytes, all taken, so none reaches what reads the terminal next, or
// Ctrl-C, by SIGINT. Either way the terminal is left in its modes.
TEST(DemoRun, OnATerminalTakesOneKeyAndGivesTheModesBack) {
    for (auto [locale, key, ending] :
         {std::tuple{"C.UTF-8", "\x1b[A", 0}, std::tuple{"C", "\x03", 128 + SIGINT}}) {
        SCOPED_TRACE(locale);
        int keyboard = -1, terminal = -1;
        ASSERT_EQ(0, openpty(&keyboard, &terminal, nullptr, nullptr, nullptr));
        const tcflag_t before = LocalModes(terminal);
        const pid_t demo = StartDemo(terminal, terminal, terminal, locale);
        const std::string prompt = "请按任意键继续. . .";
        std::string seen;
        pollfd poller = {keyboard, POLLIN, 0};
        char chunk[1024];
        for (ssize_t got; seen.find(prompt) == std::string::npos && poll(&poller, 1, 10000) > 0 &&
                          (got = read(keyboard, chunk, sizeof chunk)) > 0;) {
            seen.append(chunk, static_cast<size_t>(got));
        }
        for (const char *shown :
             {"插入元素到链表成功!", "hello\t遍历结束", "nihao\t遍历结束", " 数据是:1634232686"}) {
            EXPECT_NE(std::string::npos, seen.find(shown)) << shown << " in " << seen;
        }
        EXPECT_EQ(seen.find(prompt) + prompt.size(), seen.size()) << "the prompt is not last";
        EXPECT_EQ(0u, LocalModes(terminal) & (ICANON | ECHO));
        EXPECT_EQ(0, poll(&poller, 1, 300));
        EXPECT_EQ(1, write(keyboard, "\x1a", 1));
        int status = 0;
        EXPECT_TRUE(waitpid(demo, &status, WUNTRACED) == demo && WIFSTOPPED(status)) << status;
        EXPECT_EQ(before, LocalModes(terminal));
        kill(demo, SIGCONT);
        for (int tick = 0; tick < 1000 && (LocalModes(terminal) & (ICANON | ECHO)) != 0; tick++) {
            usleep(10000);
        }
        EXPECT_EQ(0u, LocalModes(terminal) & (ICANON | ECHO));
        EXPECT_EQ(static_cast<ssize_t>(std::strlen(key)), write(keyboard, key, std::strlen(key)));
        EXPECT_EQ(ending, WaitForEnd(demo));
        EXPECT_EQ(before, LocalModes(terminal));
        pollfd unread = {terminal, POLLIN, 0};
        EXPECT_EQ(0, poll(&unread, 1, 0)) << "a byte of the key was left";
        close(keyboard);
        close(terminal);
    }
}

} // namespace
