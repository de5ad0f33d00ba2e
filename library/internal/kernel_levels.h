// Kernel levels: which implementation of the scan's marking and copying and
// of the header rescan's summary runs. Every level computes exactly what
// `scalar` computes; the others are faster ways to the same bits, each built
// for a set of processor instructions. Internal to the project.
#ifndef KERNEL_LEVELS_H
#define KERNEL_LEVELS_H

// KERNEL_LEVELS(ROW), one row per level, from the plainest up:
//   the level, its name (the test build's QUORVANE_KERNEL takes it),
//   the processor family whose instructions it uses (`any`, or `x86`) and
//   the features it needs of it, separated by spaces,
//   its marking of the records a chunk keeps (tool/scan: marks.h,
//   kernel_x86.h), its copy of the kept records (copy.h, kernel_x86.h) and
//   its header summary (library/kernel: summary.cpp, summary_x86.cpp).
// The enum, the names, availability, the best level and the three dispatches
// are generated from it; each dispatch lists every level, so a row without
// its variants does not build. A level of another processor family is a row
// here and a `*_<family>` file in each of the two kernel rooms.
#define KERNEL_LEVELS(ROW)                                                                        \
    ROW(scalar, "scalar", any, "", mark_plain, copy_plain, summarize_plain)                       \
    ROW(portable, "portable", any, "", mark_plain, copy_pieces, summarize_vectors)                \
    ROW(sse2, "sse2", x86, "sse2", mark_sse2, copy_pieces, summarize_vectors)                     \
    ROW(sse41, "sse41", x86, "sse2 sse4.1", mark_sse2, copy_pieces, summarize_sse41)              \
    ROW(avx, "avx", x86, "sse2 sse4.1 avx popcnt", mark_sse2, copy_avx, summarize_sse41)

#define KERNEL_LEVEL_ENUM(level, ...) level,
enum class KernelLevel { KERNEL_LEVELS(KERNEL_LEVEL_ENUM) };
#undef KERNEL_LEVEL_ENUM

// Whether this build holds the level and this processor can run it. Every
// level exists in every build; one for another processor is never available.
bool kernel_level_available(KernelLevel level);

// The fastest level this build and processor have.
KernelLevel best_kernel_level();

// The level whose name is `name`; false for any other text.
bool kernel_level_named(const char *name, KernelLevel *level);

// Whether the processor has every feature in `needs` (names separated by
// spaces), asked of the family's own room; `any` has everything.
inline bool any_processor_has(const char *) { return true; }
bool x86_processor_has(const char *needs);

#endif
