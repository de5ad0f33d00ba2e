// The scan kernel's marking and copy at each kernel level, generated from the
// level table. Internal to the scan kernel.
#ifndef LEVELS_H
#define LEVELS_H

#include "internal/kernel_levels.h"
#include "scan/bounds.h"
#include "scan/copy.h"
#include "scan/kernel_x86.h"
#include "scan/marks.h"

#include <cstddef>
#include <cstdint>

template <typename Record, int AttrID>
bool mark_chunk(KernelLevel level, uint64_t *masks, const unsigned char *rec, size_t whole,
                const Bounds<Record, AttrID> &bounds)
{
    switch (level) {
#define SCAN_LEVEL_MARKING(level, name, family, needs, marking, copy, summary) \
    case KernelLevel::level: return marking<Record, AttrID>(masks, rec, whole, bounds);
        KERNEL_LEVELS(SCAN_LEVEL_MARKING)
#undef SCAN_LEVEL_MARKING
    }
    return false;
}

// Each copy takes the marked records of a chunk, in order, to `to`, and
// returns the end of what it copied; up to kCopyOverrun bytes after it may
// be overwritten.
template <size_t RecLen>
unsigned char *copy_chunk(KernelLevel level, unsigned char *to, const unsigned char *rec, size_t whole,
                          const uint64_t *masks)
{
    switch (level) {
#define SCAN_LEVEL_COPY(level, name, family, needs, marking, copy, summary) \
    case KernelLevel::level: return copy<RecLen>(to, rec, whole, masks);
        KERNEL_LEVELS(SCAN_LEVEL_COPY)
#undef SCAN_LEVEL_COPY
    }
    return to;
}

#endif
