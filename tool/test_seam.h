// What only a test build of the tool does: hold a run at a named point so
// that a test acts on it mid-way (sends a signal, say), shorten the progress
// display's quiet time, and run the kernel at a level the test names. The
// shipped tool holds nowhere, reads no environment variable and runs the
// best kernel level the processor has.
#ifndef TEST_SEAM_H
#define TEST_SEAM_H

#include "kernel_level.h"

#ifdef QUORVANE_TEST_SEAM
// Holds at `point` when QUORVANE_HOLD_AT names it.
void test_hold(const char *point);
// The progress display's quiet time: QUORVANE_QUIET_SECONDS when set.
double test_quiet_seconds(double shipped);
// The level QUORVANE_KERNEL names, or the best one when it is not set. A
// name of no level, or of one the processor lacks, ends the run with status
// 2 and a message on standard error.
KernelLevel test_kernel_level();
#else
inline void test_hold(const char *) {}
inline double test_quiet_seconds(double shipped) { return shipped; }
inline KernelLevel test_kernel_level() { return best_kernel_level(); }
#endif

#endif
