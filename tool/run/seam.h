// The run's seam, where only a test build of the tool acts: it holds a run at
// a named point so that a test acts on it mid-way (sends a signal, say),
// shortens the progress display's quiet time, and runs the kernel at a level
// the test names. The shipped tool holds nowhere, reads no environment
// variable and runs the best kernel level the processor has.
#ifndef SEAM_H
#define SEAM_H

#include "internal/kernel_levels.h"

#ifdef QUORVANE_TEST_SEAM
// A point a test build may hold at: when QUORVANE_HOLD_AT names it, says so
// on the descriptor QUORVANE_HOLD_FD and waits there until an interrupt
// ends the run.
void hold_point(const char *point);
// The progress display's quiet time: QUORVANE_QUIET_SECONDS when set.
double quiet_seconds(double shipped);
// The level the run's kernel works at: QUORVANE_KERNEL's, or the best one
// when it is not set. A name of no level, or of one the processor lacks,
// ends the run with status 2 and a message on standard error.
KernelLevel kernel_level_in_force();
#else
inline void hold_point(const char *) {}
inline double quiet_seconds(double shipped) { return shipped; }
inline KernelLevel kernel_level_in_force() { return best_kernel_level(); }
#endif

#endif
