// The demonstration's platform pieces on POSIX: errno texts, iconv for
// terminals that are not GBK (UTF-8 for those in the C locale), and a one-key
// wait in place of "pause".

#include "platform/platform.h"

#include <errno.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <strings.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iterator>
#include <vector>

#include "messages.h"

namespace {

// strerror_r is the GNU variant (returning the text) or the XSI one (filling
// the buffer); either is thread-safe.
[[maybe_unused]] const char *ErrorTextOf(const char *, char *gnu) {
    return gnu;
}
[[maybe_unused]] const char *ErrorTextOf(const char *scratch, int xsi) {
    return xsi == 0 ? scratch : nullptr;
}

template <size_t N>
bool IsOneOf(const char *codeset, const char *const (&names)[N]) {
    for (const char *name : names) {
        if (strcasecmp(codeset, name) == 0) {
            return true;
        }
    }
    return false;
}

bool IsGbkCompatible(const char *codeset) {
    static const char *const names[] = {"GBK", "GB18030", "GB2312", "CP936", "EUC-CN"};
    return IsOneOf(codeset, names);
}

// The C and POSIX locales' codeset, as the C libraries name it.
bool IsPlainAscii(const char *codeset) {
    static const char *const names[] = {"ANSI_X3.4-1968", "ASCII", "US-ASCII", "646"};
    return IsOneOf(codeset, names);
}

// The converter from GBK to what the terminal shows, or (iconv_t)-1 when the
// bytes go out as they are: to files, pipes and GBK terminals.
iconv_t TerminalConverter() {
    static const iconv_t converter = [] {
        if (!isatty(STDOUT_FILENO)) {
            return reinterpret_cast<iconv_t>(-1);
        }
        // A locale that cannot be loaded leaves the C locale in force.
        setlocale(LC_CTYPE, "");
        const char *codeset = nl_langinfo(CODESET);
        if (codeset == nullptr || *codeset == '\0' || IsGbkCompatible(codeset)) {
            return reinterpret_cast<iconv_t>(-1);
        }
        // The C locale (the default in containers and bare ssh sessions) says
        // nothing of the terminal, and ASCII cannot carry the text; terminals
        // today read UTF-8, so that is what they get, as Python does there.
        if (IsPlainAscii(codeset)) {
            codeset = "UTF-8";
        }
        return iconv_open(codeset, "GBK");
    }();
    return converter;
}

void WriteRaw(const char *bytes, size_t length) {
    fwrite(bytes, 1, length, stdout);
}

// While the key wait has the terminal in its own mode: the mode to put back,
// and the signals that would end the program with the terminal left so.
termios SavedMode;
constexpr int EndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};
struct sigaction SavedActions[std::size(EndingSignals)];

// The ending signal that came during the wait, 0 for none.
volatile sig_atomic_t EndingSignal = 0;

// Puts the terminal back at once and notes the signal; the wait then ends and
// the program dies of it outside the handler (a sanitizer's runtime, among
// others, may not deliver a signal raised again from inside its handler).
void RestoreModeAndNote(int signal) {
    tcsetattr(STDIN_FILENO, TCSANOW, &SavedMode);
    EndingSignal = signal;
}

// A signal that is ignored stays ignored.
void TrapEndingSignals() {
    struct sigaction trap = {};
    trap.sa_handler = RestoreModeAndNote;
    sigemptyset(&trap.sa_mask);
    for (size_t i = 0; i < std::size(EndingSignals); i++) {
        sigaction(EndingSignals[i], nullptr, &SavedActions[i]);
        if (SavedActions[i].sa_handler != SIG_IGN) {
            sigaction(EndingSignals[i], &trap, nullptr);
        }
    }
}

void ReleaseEndingSignals() {
    for (size_t i = 0; i < std::size(EndingSignals); i++) {
        sigaction(EndingSignals[i], &SavedActions[i], nullptr);
    }
}

// Returns when a byte has been read, at once at the end of input, or when an
// ending signal has come. The wait wakes now and then: a runtime that holds
// signals back until its next call (a sanitizer's) would otherwise leave it
// blocked with the signal pending.
void ReadOneByte() {
    while (EndingSignal == 0) {
        pollfd input = {STDIN_FILENO, POLLIN, 0};
        int ready = poll(&input, 1, 200);
        if (ready < 0 && errno != EINTR) {
            return;
        }
        char key;
        if (ready > 0 && (read(STDIN_FILENO, &key, 1) >= 0 || errno != EINTR)) {
            return;
        }
    }
}

} // namespace

int DemoLastErrorText(char *buffer, uint32_t size) {
    int code = errno;
    char scratch[1024] = "";
    const char *text = ErrorTextOf(scratch, strerror_r(code, scratch, sizeof scratch));
    if (text == nullptr || size == 0) {
        return 0;
    }
    snprintf(buffer, size, "%s", text);
    return 1;
}

void DemoWrite(const char *bytes, size_t length) {
    iconv_t converter = TerminalConverter();
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        WriteRaw(bytes, length);
        return;
    }
    // GBK takes at most two bytes a character; UTF-8 at most three for them.
    std::vector<char> converted(length * 2 + 16);
    char *in = const_cast<char *>(bytes);
    size_t inLeft = length;
    char *out = converted.data();
    size_t outLeft = converted.size();
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    if (iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1)) {
        WriteRaw(bytes, length); // better the bytes as they are than nothing
        return;
    }
    WriteRaw(converted.data(), converted.size() - outLeft);
}

void DemoWaitForKey() {
    if (tcgetattr(STDIN_FILENO, &SavedMode) != 0) {
        DemoWrite(MsgPressAnyKey, sizeof MsgPressAnyKey - 1);
        fflush(stdout);
        ReadOneByte();
    } else {
        TrapEndingSignals();
        // One key, without waiting for Enter and without echoing it; the mode
        // is set before the prompt shows, so no key can come in the old one.
        termios raw = SavedMode;
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
        DemoWrite(MsgPressAnyKey, sizeof MsgPressAnyKey - 1);
        fflush(stdout);
        ReadOneByte();
        // An arrow key or a multi-byte character arrives as several bytes at
        // once; the rest of them would land in the shell's input line.
        tcflush(STDIN_FILENO, TCIFLUSH);
        tcsetattr(STDIN_FILENO, TCSANOW, &SavedMode);
        ReleaseEndingSignals();
        if (EndingSignal != 0) {
            // Ends the program as the signal would have without the trap.
            raise(EndingSignal);
        }
    }
    DemoWrite(MsgLineBreak, sizeof MsgLineBreak - 1);
    fflush(stdout);
}

int32_t DemoCompareStrings(const char *first, const char *second) {
    return strcmp(first, second);
}

void DemoCopyString(char *destination, const char *source) {
    strcpy(destination, source);
}
