// Kernel levels: which implementation of the scan's marking and copying and
// of the header rescan's summary runs. Every level computes exactly what
// `scalar` computes; the others are faster ways to the same bits, each built
// for a set of processor instructions. Internal to the project.
#ifndef KERNEL_LEVEL_H
#define KERNEL_LEVEL_H

// Levels from the plainest up; each needs at least what the one before needs.
//   level     marking   copy of kept records   header summary
//   scalar    scalar    one record at a time   one record at a time
//   portable  scalar    16-byte pieces         two records per step, vectors
//   sse2      SSE2      16-byte pieces         two records per step, vectors
//   sse41     SSE2      16-byte pieces         two records per step, SSE4.1
//   avx       SSE2      32-byte AVX stores     two records per step, SSE4.1
// scalar and portable are built for every processor; the others where the
// compiler targets x86 with SSE2 (every x86-64 build).
enum class KernelLevel { scalar, portable, sse2, sse41, avx };

// Whether this build holds the level and this processor can run it.
bool kernel_level_available(KernelLevel level);

// The fastest level this build and processor have.
KernelLevel best_kernel_level();

// The level whose name is `name` ("scalar", "portable", "sse2", "sse41",
// "avx"); false for any other text.
bool kernel_level_named(const char *name, KernelLevel *level);

#endif
