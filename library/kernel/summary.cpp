// The header summary at the levels every processor builds, and the dispatch
// by level.
#include "summary.h"

// The definition: each record widens the extremes of each axis and is
// counted by the return number in bits 0-2 of `bitfield`.
void summarize_plain(PointSummary &s, const unsigned char *rec, size_t n, size_t reclen)
{
    for (size_t i = 0; i < n; i++, rec += reclen) {
        const int32_t v[3] = {LOAD_FIELD(LAS12fm0, X, rec), LOAD_FIELD(LAS12fm0, Y, rec),
                              LOAD_FIELD(LAS12fm0, Z, rec)};
        for (int axis = 0; axis < 3; axis++) {
            if (v[axis] > s.max[axis])
                s.max[axis] = v[axis];
            if (v[axis] < s.min[axis])
                s.min[axis] = v[axis];
        }
        s.by_return_bits[(uint8_t)LOAD_FIELD(LAS12fm0, bitfield, rec) & 7u]++;
        s.return_count++;
    }
}

// In the compiler's generic vectors.
void summarize_vectors(PointSummary &s, const unsigned char *rec, size_t n, size_t reclen)
{
    summarize_runs(s, rec, n, reclen);
}

void summarize(KernelLevel level, PointSummary &s, const unsigned char *rec, size_t n, size_t reclen)
{
    switch (level) {
#define KERNEL_LEVEL_SUMMARY(level, name, family, needs, marking, copy, summary) \
    case KernelLevel::level: summary(s, rec, n, reclen); return;
        KERNEL_LEVELS(KERNEL_LEVEL_SUMMARY)
#undef KERNEL_LEVEL_SUMMARY
    }
}
