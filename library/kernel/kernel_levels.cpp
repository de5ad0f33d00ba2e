// Which kernel levels this build holds and this processor runs, from the
// level table.
#include "internal/kernel_levels.h"

#include <cstring>

bool kernel_level_available(KernelLevel level)
{
    switch (level) {
#define KERNEL_LEVEL_AVAILABLE(level, name, family, needs, ...) \
    case KernelLevel::level: return family##_processor_has(needs);
        KERNEL_LEVELS(KERNEL_LEVEL_AVAILABLE)
#undef KERNEL_LEVEL_AVAILABLE
    }
    return false;
}

// The last available row: rows go from the plainest up. `scalar` is the
// definition, not a speed: `portable`, which every processor runs, is the
// least the tool picks.
KernelLevel best_kernel_level()
{
    KernelLevel best = KernelLevel::portable;
#define KERNEL_LEVEL_BETTER(level, ...)                                                     \
    if (KernelLevel::level > KernelLevel::portable && kernel_level_available(KernelLevel::level)) \
        best = KernelLevel::level;
    KERNEL_LEVELS(KERNEL_LEVEL_BETTER)
#undef KERNEL_LEVEL_BETTER
    return best;
}

bool kernel_level_named(const char *text, KernelLevel *level)
{
#define KERNEL_LEVEL_NAMED(row, name, ...) \
    if (strcmp(text, name) == 0) {         \
        *level = KernelLevel::row;         \
        return true;                       \
    }
    KERNEL_LEVELS(KERNEL_LEVEL_NAMED)
#undef KERNEL_LEVEL_NAMED
    return false;
}
