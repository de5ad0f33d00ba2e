// The console side of the tool.
#ifndef CONSOLE_H
#define CONSOLE_H

#include <cstdio>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

// Standard output in binary mode, so that a line ends in "\n" alone and the
// text is byte for byte the same on every platform (a Windows console shows
// a bare line feed as a new line and "\r" still returns to the line's start).
// Nothing to do on POSIX; on Windows it fails only without a standard output,
// when there is nothing to print to anyway.
inline void binary_standard_output(void)
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

#endif
