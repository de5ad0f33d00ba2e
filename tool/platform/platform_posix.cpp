// The console and terminal on a POSIX system.
#include "platform/platform.h"

#include <cstdio>
#include <unistd.h>

void prepare_standard_output(void)
{
    setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
}

bool standard_error_is_terminal(void)
{
    return isatty(fileno(stderr)) != 0;
}

void prepare_standard_error(void) {}

void write_descriptor(int fd, const char *text, size_t bytes)
{
    ssize_t n = write(fd, text, bytes);
    (void)n;
}

void wait_for_interrupt(void)
{
    for (;;)
        pause();
}
