// A point where a test build can hold a run so that a test acts on it
// mid-way (sends a signal, say). The shipped tool holds nowhere.
#ifndef TEST_SEAM_H
#define TEST_SEAM_H

#ifdef QUORVANE_TEST_SEAM
void test_hold(const char *point);
// The progress display's quiet time: QUORVANE_QUIET_SECONDS when set.
double test_quiet_seconds(double shipped);
#else
inline void test_hold(const char *) {}
inline double test_quiet_seconds(double shipped) { return shipped; }
#endif

#endif
