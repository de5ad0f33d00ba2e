// The console and terminal on Windows. The C runtime buffers a
// "line-buffered" stream fully, so standard output is unbuffered there (a
// run prints a few dozen lines); and it is in binary mode, so that a line
// ends in "\n" alone and the text is byte for byte the same on every
// platform (a Windows console shows a bare line feed as a new line and "\r"
// still returns to the line's start). Binary mode fails only without a
// standard output, when there is nothing to print to anyway.
#include "platform/platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>

void prepare_standard_output(void)
{
    _setmode(_fileno(stdout), _O_BINARY);
    setvbuf(stdout, nullptr, _IONBF, 0);
}

bool standard_error_is_terminal(void)
{
    return _isatty(_fileno(stderr)) != 0;
}

void prepare_standard_error(void)
{
    _setmode(_fileno(stderr), _O_BINARY);
}

void write_descriptor(int fd, const char *text, size_t bytes)
{
    int n = _write(fd, text, (unsigned)bytes);
    (void)n;
}

void wait_for_interrupt(void)
{
    for (;;)
        Sleep(INFINITE);  // a console event ends the run
}
