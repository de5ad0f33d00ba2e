// Test builds only: when QUORVANE_HOLD_AT names this point, say so on the
// descriptor QUORVANE_HOLD_FD and wait there until a signal (on Windows, a
// console event) ends the run.
#include "test_seam.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#endif

double test_quiet_seconds(double shipped)
{
    const char *s = getenv("QUORVANE_QUIET_SECONDS");
    return s ? atof(s) : shipped;
}

bool test_narrow_copy()
{
    return getenv("QUORVANE_NARROW_COPY") != nullptr;
}

void test_hold(const char *point)
{
    static bool held = false;
    const char *at = getenv("QUORVANE_HOLD_AT");
    const char *fd = getenv("QUORVANE_HOLD_FD");
    if (held || !at || !fd || strcmp(at, point) != 0)
        return;
    held = true;
    fflush(nullptr);
    ssize_t n = write(atoi(fd), "held\n", 5);
    (void)n;
    for (;;)
#ifdef _WIN32
        Sleep(INFINITE);  // a console event ends the run
#else
        pause();
#endif
}
