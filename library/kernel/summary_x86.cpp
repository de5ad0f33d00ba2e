// The library's x86 code: the header summary with the instructions that take
// a 32-bit lane's minimum and maximum in one step (SSE4.1), and which x86
// features the processor has. Built for other processors, the x86 levels are
// never available and their summary stands in for the generic one.
#include "summary.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)

__attribute__((target("sse4.1"))) void summarize_sse41(PointSummary &s, const unsigned char *rec, size_t n,
                                                        size_t reclen)
{
    summarize_runs(s, rec, n, reclen);
}

namespace {

// `__builtin_cpu_supports` takes a literal only.
bool x86_has(const char *feature, size_t length)
{
    auto is = [&](const char *name) { return strlen(name) == length && memcmp(name, feature, length) == 0; };
    if (is("sse2"))
        return __builtin_cpu_supports("sse2");
    if (is("sse4.1"))
        return __builtin_cpu_supports("sse4.1");
    if (is("avx"))
        return __builtin_cpu_supports("avx");
    if (is("popcnt"))
        return __builtin_cpu_supports("popcnt");
    return false;  // a feature this room does not know is one it cannot vouch for
}

}  // namespace

bool x86_processor_has(const char *needs)
{
    for (const char *p = needs; *p;) {
        const size_t length = strcspn(p, " ");
        if (length && !x86_has(p, length))
            return false;
        p += length + (p[length] == ' ');
    }
    return true;
}

#else

void summarize_sse41(PointSummary &s, const unsigned char *rec, size_t n, size_t reclen)
{
    summarize_vectors(s, rec, n, reclen);
}

bool x86_processor_has(const char *)
{
    return false;
}

#endif
