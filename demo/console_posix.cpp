// The demonstration's platform pieces on POSIX: errno texts, iconv for
// terminals that are not GBK (UTF-8 for those in the C locale), output
// errors, and a one-key wait in place of "pause" that gives the terminal back
// while the program is stopped.

#include "console.h"

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

#include <algorithm>
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

// The converter from GBK to what the terminal on fd shows, or (iconv_t)-1
// when the bytes go out as they are: to files, pipes and GBK terminals.
iconv_t OpenConverter(int fd) {
    if (!isatty(fd)) {
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
}

// Each stream's converter is opened on its first use only, so that a normal
// run never looks at standard error.
iconv_t ConverterFor(FILE *stream) {
    if (stream == stdout) {
        static const iconv_t output = OpenConverter(STDOUT_FILENO);
        return output;
    }
    static const iconv_t errors = OpenConverter(STDERR_FILENO);
    return errors;
}

// The error that first kept bytes from standard output since the last
// DemoFinishOutput, 0 for none.
int OutputError = 0;

// errno is left as it was: a failure message later on shows the last error a
// system call left, and a write that succeeds is none.
void NoteOutputError() {
    if (OutputError == 0) {
        OutputError = errno != 0 ? errno : EIO;
    }
}

void WriteRaw(FILE *stream, const char *bytes, size_t length) {
    if (fwrite(bytes, 1, length, stream) != length && stream == stdout) {
        NoteOutputError();
    }
}

void FlushOutput() {
    if (fflush(stdout) != 0) {
        NoteOutputError();
    }
}

void WriteConverted(FILE *stream, const char *bytes, size_t length) {
    iconv_t converter = ConverterFor(stream);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        WriteRaw(stream, bytes, length);
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
        WriteRaw(stream, bytes, length); // better the bytes as they are than nothing
        return;
    }
    WriteRaw(stream, converted.data(), converted.size() - outLeft);
}

// While the key wait has the terminal in its own mode: the mode to put back,
// the wait's own mode, and the signals that would leave the terminal so: those
// that end the program, and a stop (Ctrl-Z), during which the shell is to
// get its terminal back as it was, and the continuation after it (fg), on
// which the wait takes up its own mode again.
termios SavedMode;
termios KeyMode;
constexpr int TrappedSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGTSTP, SIGCONT};
struct sigaction SavedActions[std::size(TrappedSignals)];

// The ending signal that came during the wait, 0 for none; whether a stop has
// been asked for, and whether the program has been continued, since the wait
// last looked.
volatile sig_atomic_t EndingSignal = 0;
volatile sig_atomic_t StopAsked = 0;
volatile sig_atomic_t Continued = 0;

// Puts the terminal back at once and notes the signal; the wait then ends and
// the program dies of it outside the handler (a sanitizer's runtime, among
// others, may not deliver a signal raised again from inside its handler).
void RestoreModeAndNote(int signal) {
    tcsetattr(STDIN_FILENO, TCSANOW, &SavedMode);
    EndingSignal = signal;
}

// The same for a stop: the terminal goes back at once, and the wait stops the
// program outside the handler, for the same reason.
void RestoreModeAndNoteStop(int) {
    tcsetattr(STDIN_FILENO, TCSANOW, &SavedMode);
    StopAsked = 1;
}

// A stop the program cannot catch (SIGSTOP) ends in a continuation too, and
// the shell may have set its own mode meanwhile.
void NoteContinued(int) {
    Continued = 1;
}

void Install(int signal, void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

// A signal that is ignored stays ignored (a shell without job control has its
// programs ignore SIGTSTP, and a stop then never comes).
void TrapSignals() {
    for (size_t i = 0; i < std::size(TrappedSignals); i++) {
        const int signal = TrappedSignals[i];
        sigaction(signal, nullptr, &SavedActions[i]);
        if (SavedActions[i].sa_handler != SIG_IGN) {
            Install(signal, signal == SIGTSTP   ? RestoreModeAndNoteStop
                            : signal == SIGCONT ? NoteContinued
                                                : RestoreModeAndNote);
        }
    }
}

void ReleaseSignals() {
    for (size_t i = 0; i < std::size(TrappedSignals); i++) {
        sigaction(TrappedSignals[i], &SavedActions[i], nullptr);
    }
}

// Stops the program as SIGTSTP does without the trap, the terminal already in
// the shell's mode, and returns once the program is continued, or at once
// where the system discards the stop (in a process group that no shell
// could continue).
void StopHere() {
    StopAsked = 0;
    Install(SIGTSTP, SIG_DFL);
    raise(SIGTSTP);
    Install(SIGTSTP, RestoreModeAndNoteStop);
}

// Returns when a byte has been read, at once at the end of input, or when an
// ending signal has come. The wait wakes now and then: a runtime that holds
// signals back until its next call (a sanitizer's) would otherwise leave it
// blocked with the signal pending, and a stop asked for would not be made.
void ReadOneByte() {
    while (EndingSignal == 0) {
        if (StopAsked) {
            StopHere();
            Continued = 1;
        }
        if (Continued) {
            Continued = 0;
            tcsetattr(STDIN_FILENO, TCSANOW, &KeyMode);
        }
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
    WriteConverted(stdout, bytes, length);
}

void DemoWaitForKey() {
    if (tcgetattr(STDIN_FILENO, &SavedMode) != 0) {
        DemoWrite(MsgPressAnyKey, sizeof MsgPressAnyKey - 1);
        FlushOutput();
        ReadOneByte();
    } else {
        TrapSignals();
        // One key, without waiting for Enter and without echoing it; the mode
        // is set before the prompt shows, so no key can come in the old one.
        KeyMode = SavedMode;
        KeyMode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        KeyMode.c_cc[VMIN] = 1;
        KeyMode.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &KeyMode);
        DemoWrite(MsgPressAnyKey, sizeof MsgPressAnyKey - 1);
        FlushOutput();
        ReadOneByte();
        // An arrow key or a multi-byte character arrives as several bytes at
        // once; the rest of them would land in the shell's input line.
        tcflush(STDIN_FILENO, TCIFLUSH);
        tcsetattr(STDIN_FILENO, TCSANOW, &SavedMode);
        ReleaseSignals();
        if (EndingSignal != 0) {
            // Ends the program as the signal would have without the trap.
            raise(EndingSignal);
        }
    }
    DemoWrite(MsgLineBreak, sizeof MsgLineBreak - 1);
    FlushOutput();
}

int DemoFinishOutput() {
    FlushOutput();
    if (OutputError == 0 && !ferror(stdout)) {
        return 1;
    }
    char scratch[1024] = "";
    const char *text = ErrorTextOf(
        scratch, strerror_r(OutputError != 0 ? OutputError : EIO, scratch, sizeof scratch));
    char message[sizeof scratch + sizeof MsgWriteFailed];
    int length = snprintf(message, sizeof message, MsgWriteFailed, text != nullptr ? text : "");
    if (length > 0) {
        WriteConverted(stderr, message, std::min(static_cast<size_t>(length), sizeof message - 1));
        fflush(stderr);
    }
    OutputError = 0;
    clearerr(stdout);
    return 0;
}

int32_t DemoCompareStrings(const char *first, const char *second) {
    return strcmp(first, second);
}

void DemoCopyString(char *destination, const char *source) {
    strcpy(destination, source);
}
