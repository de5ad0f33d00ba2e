// The console side of the tool.
#ifndef CONSOLE_H
#define CONSOLE_H

#include <cstdio>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

// Standard output reaches its file line by line even when it is no terminal,
// so that the log of a run that a signal or Ctrl-C ends holds everything
// printed before. The Windows C runtime buffers a "line-buffered" stream
// fully, so there it is unbuffered (a run prints a few dozen lines). On
// Windows it is also in binary mode, so that a line ends in "\n" alone and the
// text is byte for byte the same on every platform (a Windows console shows
// a bare line feed as a new line and "\r" still returns to the line's start);
// that fails only without a standard output, when there is nothing to print
// to anyway.
inline void prepare_standard_output(void)
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    setvbuf(stdout, nullptr, _IONBF, 0);
#else
    setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
#endif
}

#endif
