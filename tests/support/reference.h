// An independent reading of what a filter run must produce: the kept records
// and the output file's bytes, computed from the input's bytes alone.
#ifndef REFERENCE_H
#define REFERENCE_H

#include "las_writer.h"

#include <string>
#include <vector>

struct Expected {
    std::vector<unsigned char> file;  // empty when nothing is kept
    uint32_t claimed = 0;             // the input header's point count
    uint32_t kept = 0;
};

// The value of attribute `attr` (1..13) of a point as the filter compares it.
double attribute_value(const LasPoint &p, int attr);

// What filtering `input` on `attr` within [min, max] (command-line units)
// must write.
Expected expected_filter(const std::vector<unsigned char> &input, int attr, double min, double max);


#endif
