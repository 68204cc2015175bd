// console.h - what the demonstration needs from the operating system around
// its console: the text of the last system error, console output, the final
// key-press wait and string routines. console_posix.cpp or console_win.cpp,
// chosen by the build.
#ifndef SLOT_LIST_DEMO_CONSOLE_H
#define SLOT_LIST_DEMO_CONSOLE_H

#include <cstddef>
#include <cstdint>

// Copies the message text for the calling thread's last system error into
// buffer (size bytes, terminated). Returns 1, or 0 with buffer untouched when
// no text can be had.
int DemoLastErrorText(char *buffer, uint32_t size);

// Writes GBK bytes to standard output. A file, a pipe or a GBK terminal gets
// them unchanged; a terminal in another locale gets them converted to its
// codeset, and one in the C or POSIX locale (plain ASCII) gets UTF-8. A write
// that fails is remembered for DemoFinishOutput.
void DemoWrite(const char *bytes, size_t length);

// Shows the platform's prompt and waits for one key press, the whole of a key
// that sends several bytes. On POSIX only a terminal on standard input is
// waited on, and it is in its own modes again when the wait ends, when its
// interrupt or quit key ends the program, and while its suspend key (Ctrl-Z)
// has the program stopped; after fg the wait goes on in its own modes.
void DemoWaitForKey();

// Flushes standard output. Returns 1 when everything written to it since the
// last call got out; otherwise says so on standard error (MsgWriteFailed, with
// the system's text for the first error), where that can be written, forgets
// the failure and returns 0.
int DemoFinishOutput();

// Compares two zero-terminated strings: 0 when equal.
int32_t DemoCompareStrings(const char *first, const char *second);

// Copies a zero-terminated string, terminator included.
void DemoCopyString(char *destination, const char *source);

#endif // SLOT_LIST_DEMO_CONSOLE_H
