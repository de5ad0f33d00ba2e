#include "reference.h"

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

// A bound in stored units, in extended precision: a bound that lands within
// 1e-5 of a whole number is a value the file stores (typed decimals of
// anything else lie at least 1e-4 units away at the scales in use).
double stored_units(double bound, double scale, double offset)
{
    long double v = ((long double)bound - offset) / scale;
    long double whole = std::round(v);
    return (double)(std::fabs(v - whole) <= 1e-5L ? whole : v);
}

struct Bounds {
    int64_t max[3] = {0, 0, 0}, min[3] = {0, 0, 0};
    uint32_t by_return[5] = {0, 0, 0, 0, 0};
};

void widen(Bounds &b, const LasPoint &p, bool first)
{
    const int64_t v[3] = {p.X, p.Y, p.Z};
    for (int a = 0; a < 3; a++) {
        if (first || v[a] > b.max[a]) b.max[a] = v[a];
        if (first || v[a] < b.min[a]) b.min[a] = v[a];
    }
    int r = p.bitfield % 8;
    if (r >= 1 && r <= 5)
        b.by_return[r - 1]++;
}

}  // namespace

Expected expected_filter(const std::vector<unsigned char> &input, int attr, double min, double max)
{
    Expected e;
    LAS12Header h;
    memcpy(&h, input.data(), sizeof h);
    e.claimed = h.NumberOfPointReturns;
    const bool old_version = h.VersionMinor < 2;
    if (old_version && h.PointDataFormatID >= 2)
        return e;  // no layout: nothing scanned
    const size_t reclen = las_format_length(h.PointDataFormatID);
    if (attr >= 1 && attr <= 3) {
        const double scale[3] = {h.XScaleFactor, h.YScaleFactor, h.ZScaleFactor};
        const double offset[3] = {h.XOffset, h.YOffset, h.ZOffset};
        min = stored_units(min, scale[attr - 1], offset[attr - 1]);
        max = stored_units(max, scale[attr - 1], offset[attr - 1]);
    }
    std::vector<unsigned char> records;
    Bounds b;
    for (size_t at = h.OffsetToData; at + reclen <= input.size(); at += reclen) {
        LasPoint p = decode_point(&input[at], h.PointDataFormatID);
        double v = attribute_value(p, attr);
        if (!(v >= min && v <= max))
            continue;
        widen(b, p, e.kept == 0);
        records.insert(records.end(), &input[at], &input[at] + reclen);
        e.kept++;
    }
    if (e.kept == 0)
        return e;
    h.NumberOfPointReturns = e.kept;
    for (int i = 0; i < 5; i++)
        h.NumberOfPointsByReturn[i] = b.by_return[i];
    h.MaxX = (double)b.max[0] * h.XScaleFactor + h.XOffset;
    h.MinX = (double)b.min[0] * h.XScaleFactor + h.XOffset;
    h.MaxY = (double)b.max[1] * h.YScaleFactor + h.YOffset;
    h.MinY = (double)b.min[1] * h.YScaleFactor + h.YOffset;
    h.MaxZ = (double)b.max[2] * h.ZScaleFactor + h.ZOffset;
    h.MinZ = (double)b.min[2] * h.ZScaleFactor + h.ZOffset;
    e.file.assign(h.OffsetToData, 0);
    memcpy(e.file.data(), &h, sizeof h);
    for (size_t i = sizeof h; i < h.OffsetToData && i < input.size(); i++)
        e.file[i] = input[i];  // the bytes between header block and points
    e.file.insert(e.file.end(), records.begin(), records.end());
    return e;
}
