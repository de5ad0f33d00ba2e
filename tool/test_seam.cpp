// Test builds only: the seam's settings, from the environment.
#include "test_seam.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

double test_quiet_seconds(double shipped)
{
    const char *s = getenv("QUORVANE_QUIET_SECONDS");
    return s ? atof(s) : shipped;
}

KernelLevel test_kernel_level()
{
    const char *name = getenv("QUORVANE_KERNEL");
    if (!name)
        return best_kernel_level();
    KernelLevel level;
#ifdef _WIN32
    _setmode(_fileno(stderr), _O_BINARY);  // the message ends in "\n" alone
#endif
    if (!kernel_level_named(name, &level)) {
        fprintf(stderr, "QUORVANE_KERNEL=%s names no kernel level\n", name);
        exit(2);
    }
    if (!kernel_level_available(level)) {
        fprintf(stderr, "QUORVANE_KERNEL=%s: this processor or build lacks that level\n", name);
        exit(2);
    }
    return level;
}

// When QUORVANE_HOLD_AT names this point, says so on the descriptor
// QUORVANE_HOLD_FD and waits there until a signal (on Windows, a console
// event) ends the run.
void test_hold(const char *point)
{
    static bool held = false;
    const char *at = getenv("QUORVANE_HOLD_AT");
    const char *fd = getenv("QUORVANE_HOLD_FD");
    if (held || !at || !fd || strcmp(at, point) != 0)
        return;
    held = true;
    ssize_t n = write(atoi(fd), "held\n", 5);
    (void)n;
    for (;;)
#ifdef _WIN32
        Sleep(INFINITE);  // a console event ends the run
#else
        pause();
#endif
}
