// A point where a test build can hold a run so that a test acts on it
// mid-way (sends a signal, say). The shipped tool holds nowhere.
#ifndef TEST_SEAM_H
#define TEST_SEAM_H

#ifdef QUORVANE_TEST_SEAM
void test_hold(const char *point);
#else
inline void test_hold(const char *) {}
#endif

#endif
