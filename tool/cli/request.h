// The command line: the tool's fixed texts and the checks of its five
// arguments.
#ifndef REQUEST_H
#define REQUEST_H

#include <stdint.h>
#include <time.h>

// A validated request: what the command line asked for.
struct Request {
    const char *filenamein;
    const char *filenameout;
    int16_t AttrID;   // a row of the attribute table (attributes/attributes.h)
    double AttrMin;   // as given on the command line
    double AttrMax;
    clock_t cstart;   // processor clock at start
};

void usage(void);
void list_attributes(void);

// Converts plain decimal notation the way atof would, without infinities,
// NaN or hexadecimal. `out_of_range` (may be null) is set when the value
// lies beyond the range of a double.
double decimal_value(const char *s, bool *out_of_range);

// The numeric round-trip check of one bound: true when accepted. `*value`
// is the bound's value (decimal_value's), accepted or not.
bool numeric_round_trip_ok(const char *s, double *value);

// Checks the command line and prints the banner and the request summary.
// Returns 0 with `rq` filled, or -1 after printing why the request is refused.
int16_t validate_request(int argc, char **argv, Request *rq);

#endif
