// Coordinate bounds in the file's stored units.
#include "scan/scan.h"

#include "attributes/attributes.h"

#include <algorithm>
#include <cmath>

namespace {

// A bound typed as a value the file stores means that stored integer, but
// (bound - offset) / scale misses it by the rounding of the decimal texts and
// the arithmetic: a few units in the last place of the larger operand, in
// stored units. Within that (and never more than 1/16 of a step) the
// converted bound is taken as the whole number; otherwise it stays as is.
double snap_to_stored(double converted, double bound, double offset, double scale)
{
    const double whole = std::nearbyint(converted);
    const double larger = std::max(std::fabs(bound), std::fabs(offset));
    const double ulp = std::nextafter(larger, INFINITY) - larger;
    const double tolerance = std::min(4.0 * ulp / std::fabs(scale), 1.0 / 16);
    return std::fabs(converted - whole) <= tolerance ? whole : converted;
}

void convert_bound(double &bound, double scale, double offset)
{
    bound = snap_to_stored((bound - offset) / scale, bound, offset, scale);
}

}  // namespace

void convert_bounds(const LAS12Header &h, int16_t AttrID, double &lo, double &hi)
{
    double scale, offset;
    switch (attribute_axis(AttrID)) {
    case 'X': scale = h.XScaleFactor; offset = h.XOffset; break;
    case 'Y': scale = h.YScaleFactor; offset = h.YOffset; break;
    case 'Z': scale = h.ZScaleFactor; offset = h.ZOffset; break;
    default: return;  // raw field values
    }
    convert_bound(lo, scale, offset);
    convert_bound(hi, scale, offset);
}
