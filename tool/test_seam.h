// A point where a test build can hold a run so that a test acts on it
// mid-way (sends a signal, say). The shipped tool holds nowhere.
#ifndef TEST_SEAM_H
#define TEST_SEAM_H

#ifdef QUORVANE_TEST_SEAM
void test_hold(const char *point);
// The progress display's quiet time: QUORVANE_QUIET_SECONDS when set.
double test_quiet_seconds(double shipped);
// Whether the scan must copy records in 16-byte pieces even where the
// processor has wider ones: QUORVANE_NARROW_COPY when set.
bool test_narrow_copy();
#else
inline void test_hold(const char *) {}
inline double test_quiet_seconds(double shipped) { return shipped; }
inline bool test_narrow_copy() { return false; }
#endif

#endif
