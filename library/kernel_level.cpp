// Which kernel levels this build holds and this processor runs.
#include "kernel_level.h"

#include <cstring>
#include <initializer_list>

bool kernel_level_available(KernelLevel level)
{
    switch (level) {
    case KernelLevel::scalar:
    case KernelLevel::portable:
        return true;
#ifdef __SSE2__
    case KernelLevel::sse2: return __builtin_cpu_supports("sse2");
    case KernelLevel::sse41: return __builtin_cpu_supports("sse2") && __builtin_cpu_supports("sse4.1");
    case KernelLevel::avx:
        return __builtin_cpu_supports("sse2") && __builtin_cpu_supports("sse4.1") &&
               __builtin_cpu_supports("avx") && __builtin_cpu_supports("popcnt");
#else
    case KernelLevel::sse2:
    case KernelLevel::sse41:
    case KernelLevel::avx:
        return false;
#endif
    }
    return false;
}

KernelLevel best_kernel_level()
{
    for (KernelLevel level : {KernelLevel::avx, KernelLevel::sse41, KernelLevel::sse2})
        if (kernel_level_available(level))
            return level;
    return KernelLevel::portable;
}

bool kernel_level_named(const char *name, KernelLevel *level)
{
    static const struct {
        const char *name;
        KernelLevel level;
    } names[] = {{"scalar", KernelLevel::scalar}, {"portable", KernelLevel::portable},
                 {"sse2", KernelLevel::sse2},     {"sse41", KernelLevel::sse41},
                 {"avx", KernelLevel::avx}};
    for (const auto &n : names)
        if (strcmp(name, n.name) == 0) {
            *level = n.level;
            return true;
        }
    return false;
}
