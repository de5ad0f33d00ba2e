#include "reference.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

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
    default: return p.GPSTime;
    }
}

namespace {

// A bound in stored units, in extended precision. A bound within 1e-14 of
// the larger of bound and offset (relative, in stored units) of a whole
// number is a value the file stores, typed: the double arithmetic of a
// conversion errs by less, while a value typed with six decimals that is not
// stored lies farther away.
double stored_units(double bound, double scale, double offset)
{
    long double v = ((long double)bound - offset) / scale;
    long double whole = std::round(v);
    long double tolerance = 1e-14L * std::max(std::fabs(bound), std::fabs(offset)) / std::fabs(scale);
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
