// What differs between platforms in the tool, behind one interface: one file
// per platform here (platform_posix.cpp, platform_windows.cpp, and the output
// guard's output_guard_posix.cpp, output_guard_windows.cpp), picked by the
// build. The console and terminal are here; the output file's guard is in
// output_guard.h.
#ifndef TOOL_PLATFORM_H
#define TOOL_PLATFORM_H

#include <cstddef>

// Standard output reaches its file line by line even when it is no terminal,
// so that the log of a run that a signal or Ctrl-C ends holds everything
// printed before; and a line ends in "\n" alone on every platform.
void prepare_standard_output(void);

// Whether standard error is a terminal, where a person may watch progress.
bool standard_error_is_terminal(void);

// For the test build's seam: standard error ends its lines in "\n" alone;
// `text` written straight to descriptor `fd`; and a wait that only an
// interrupt (a signal, a console event) ends.
void prepare_standard_error(void);
void write_descriptor(int fd, const char *text, size_t bytes);
[[noreturn]] void wait_for_interrupt(void);

#endif
