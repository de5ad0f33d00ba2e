// Test builds only: the seam's settings, from the environment.
#include "run/seam.h"

#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

double quiet_seconds(double shipped)
{
    const char *s = getenv("QUORVANE_QUIET_SECONDS");
    return s ? atof(s) : shipped;
}

KernelLevel kernel_level_in_force()
{
    const char *name = getenv("QUORVANE_KERNEL");
    if (!name)
        return best_kernel_level();
    KernelLevel level;
    prepare_standard_error();
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

void hold_point(const char *point)
{
    static bool held = false;
    const char *at = getenv("QUORVANE_HOLD_AT");
    const char *fd = getenv("QUORVANE_HOLD_FD");
    if (held || !at || !fd || strcmp(at, point) != 0)
        return;
    held = true;
    write_descriptor(atoi(fd), "held\n", 5);
    wait_for_interrupt();
}
