// The demonstration's platform pieces on POSIX: errno texts, iconv for
// terminals that are not GBK (UTF-8 for those in the C locale), output
// errors, and a one-key wait in place of "pause".

#include "console.h"

#include <errno.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <signal.h>
#include <string.h>
#include <strings.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <utility>
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

// The signal a key sends in the terminal's mode, 0 for none.
int SignalOf(const termios &mode, unsigned char key) {
    const std::pair<int, int> keys[] = {{VINTR, SIGINT}, {VQUIT, SIGQUIT}, {VSUSP, SIGTSTP}};
    for (auto [index, signal] : keys) {
        if ((mode.c_lflag & ISIG) && key != _POSIX_VDISABLE && key == mode.c_cc[index]) {
            return signal;
        }
    }
    return 0;
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

// The wait's own mode takes the signal keys as keys too: the wait gives the
// terminal back in its modes before it sends their signal to its process group
// itself, as the terminal would have, so no signal handler is needed.
void DemoWaitForKey() {
    termios saved = {};
    const bool terminal = tcgetattr(STDIN_FILENO, &saved) == 0;
    termios keyMode = saved;
    keyMode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
    keyMode.c_cc[VMIN] = 1;
    keyMode.c_cc[VTIME] = 0;
    // Set before the prompt shows, so that no key can come in the old mode.
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSANOW, &keyMode);
    }
    DemoWrite(MsgPressAnyKey, sizeof MsgPressAnyKey - 1);
    FlushOutput();
    // Input from a file or a pipe gives its next byte as the key; its end
    // ends the wait at once.
    unsigned char byte;
    while (!terminal && read(STDIN_FILENO, &byte, 1) < 0 && errno == EINTR) {
    }
    while (terminal) {
        unsigned char key;
        ssize_t got = read(STDIN_FILENO, &key, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        // The rest of a key that sends several bytes (an arrow, a multibyte
        // character) would otherwise land in the shell's input.
        tcflush(STDIN_FILENO, TCIFLUSH);
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        const int signal = got == 1 ? SignalOf(saved, key) : 0;
        if (signal == 0) {
            break;
        }
        // Returns after fg, or when the signal is ignored or discarded.
        kill(0, signal);
        tcsetattr(STDIN_FILENO, TCSANOW, &keyMode);
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
