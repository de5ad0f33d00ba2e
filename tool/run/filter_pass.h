// The filter pass: streams the kept records of the input into the output and
// finalises it.
#ifndef FILTER_PASS_H
#define FILTER_PASS_H

#include <stdint.h>

struct Request;

// Returns 0 after a completed run, -1 after printing why it did not complete.
int16_t filter_pass(const Request *rq);

#endif
