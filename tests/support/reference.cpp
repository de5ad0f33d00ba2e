#include "reference.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

double attribute_value(const LasPoint &p, int attr)
{
    switch (attr) {
    case 1: return p.X;
    case 2: return p.Y;
    case 3: return p.Z;
    case 4: return p.Intensity;
    case 5: return p.bitfield % 8;
    case 6: return (p.bitfield / 8) % 8;
    case 7: return (p.bitfield / 64) % 2;
    case 8: return p.bitfield / 128;
    case 9: return p.Classification;
    case 10: return p.ScanAngleRank;
    case 11: return p.UserData;
    case 12: return p.PointSourceID;
    case 13: return p.GPSTime;
    }
    // A number the tool has no attribute for is a fault of the test that
    // asks, not a value to compare.
    throw std::invalid_argument("the reading knows no attribute " + std::to_string(attr));
}

namespace {

// A bound in stored units, in extended precision. A converted bound within
// the rounding error of the conversion's double arithmetic of a whole number
// is a value the file stores, typed: that error is a few units in the last
// place of the larger of bound and offset, counted as 4, in stored units,
// and never more than 1/16 of a step. Other bounds are not rounded.
double stored_units(double bound, double scale, double offset)
{
    const long double v = ((long double)bound - offset) / scale;
    const long double whole = std::round(v);
    const double larger = std::max(std::fabs(bound), std::fabs(offset));
    const long double last_place = larger == 0 ? 0 : std::ldexp(1.0L, std::ilogb(larger) - 52);
    const long double tolerance = std::min(4 * last_place / std::fabs(scale), 1.0L / 16);
    return (double)(std::fabs(v - whole) <= tolerance ? whole : v);
}

}  // namespace

Expected expected_filter(const std::vector<unsigned char> &input, int attr, double min, double max)
{
    Expected e;
    LAS12Header h = header_of(input);
    e.claimed = h.NumberOfPointReturns;
    const bool old_version = h.VersionMinor < 2;
    if (old_version && h.PointDataFormatID >= 2)
        return e;  // no layout: nothing scanned
    const size_t reclen = las_format_record_length(h.PointDataFormatID);
    if (attr >= 1 && attr <= 3) {
        const double scale[3] = {h.XScaleFactor, h.YScaleFactor, h.ZScaleFactor};
        const double offset[3] = {h.XOffset, h.YOffset, h.ZOffset};
        min = stored_units(min, scale[attr - 1], offset[attr - 1]);
        max = stored_units(max, scale[attr - 1], offset[attr - 1]);
    }
    std::vector<unsigned char> records;
    PointExtents kept;
    for (size_t at = h.OffsetToData; at + reclen <= input.size(); at += reclen) {
        LasPoint p = decode_point(&input[at], h.PointDataFormatID);
        double v = attribute_value(p, attr);
        if (!(v >= min && v <= max))
            continue;
        kept.add(p);
        records.insert(records.end(), &input[at], &input[at] + reclen);
        e.kept++;
    }
    if (e.kept == 0)
        return e;
    h.NumberOfPointReturns = e.kept;
    kept.store(h);
    e.file.assign(h.OffsetToData, 0);
    memcpy(e.file.data(), &h, sizeof h);
    for (size_t i = sizeof h; i < h.OffsetToData && i < input.size(); i++)
        e.file[i] = input[i];  // the bytes between header block and points
    e.file.insert(e.file.end(), records.begin(), records.end());
    return e;
}
