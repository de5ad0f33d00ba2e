#include "las_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

size_t las_format_length(uint8_t format)
{
    static const size_t lengths[4] = {sizeof(LAS12fm0), sizeof(LAS12fm1), sizeof(LAS12fm2),
                                      sizeof(LAS12fm3)};
    return format < 4 ? lengths[format] : 0;
}

void encode_point(const LasPoint &p, uint8_t format, unsigned char *out)
{
    LAS12fm3 r;  // the widest layout; the others are its prefixes or reorderings
    r.X = p.X; r.Y = p.Y; r.Z = p.Z;
    r.Intensity = p.Intensity;
    r.bitfield = (int8_t)p.bitfield;
    r.Classification = p.Classification;
    r.ScanAngleRank = p.ScanAngleRank;
    r.UserData = p.UserData;
    r.PointSourceID = p.PointSourceID;
    r.GPSTime = p.GPSTime;
    r.Red = p.Red; r.Green = p.Green; r.Blue = p.Blue;
    if (format == 2) {
        LAS12fm2 c;
        memcpy(&c, &r, 20);
        c.Red = p.Red; c.Green = p.Green; c.Blue = p.Blue;
        memcpy(out, &c, sizeof c);
        return;
    }
    memcpy(out, &r, las_format_length(format));
}

LasPoint decode_point(const unsigned char *rec, uint8_t format)
{
    LAS12fm3 r{};
    LasPoint p;
    if (format == 2) {
        LAS12fm2 c;
        memcpy(&c, rec, sizeof c);
        memcpy(&r, &c, 20);
        r.Red = c.Red; r.Green = c.Green; r.Blue = c.Blue;
    } else {
        memcpy(&r, rec, las_format_length(format));
    }
    p.X = r.X; p.Y = r.Y; p.Z = r.Z;
    p.Intensity = r.Intensity;
    p.bitfield = (uint8_t)r.bitfield;
    p.Classification = r.Classification;
    p.ScanAngleRank = r.ScanAngleRank;
    p.UserData = r.UserData;
    p.PointSourceID = r.PointSourceID;
    if (format == 1 || format == 3)
        p.GPSTime = r.GPSTime;
    p.Red = r.Red; p.Green = r.Green; p.Blue = r.Blue;
    return p;
}

namespace {

struct Extents {
    int64_t max[3] = {INT64_MIN, INT64_MIN, INT64_MIN};
    int64_t min[3] = {INT64_MAX, INT64_MAX, INT64_MAX};
    uint32_t count = 0;
    uint32_t by_return[5] = {0, 0, 0, 0, 0};

    void add(const LasPoint &p)
    {
        const int32_t v[3] = {p.X, p.Y, p.Z};
        for (int a = 0; a < 3; a++) {
            if (v[a] > max[a]) max[a] = v[a];
            if (v[a] < min[a]) min[a] = v[a];
        }
        unsigned r = p.bitfield & 7u;
        if (r >= 1 && r <= 5)
            by_return[r - 1]++;
        count++;
    }
};

LAS12Header header_for(const LasOptions &opts, const Extents &e)
{
    LAS12Header h;
    memset(&h, 0, sizeof h);
    memcpy(h.LASF, "LASF", 4);
    h.VersionMajor = 1;
    h.VersionMinor = opts.VersionMinor;
    snprintf(h.SystemIdentifier, sizeof h.SystemIdentifier, "%s", "Quorvane test writer");
    snprintf(h.GeneratingSoftware, sizeof h.GeneratingSoftware, "%s", "las_writer");
    h.HeaderSize = sizeof(LAS12Header);
    h.OffsetToData = (uint32_t)(sizeof(LAS12Header) + opts.vlr_bytes.size());
    h.NumberOfVariableLengthRecords = opts.vlr_count;
    h.PointDataFormatID = opts.PointDataFormatID;
    h.PointDataRecordLength = opts.PointDataRecordLength
                                  ? opts.PointDataRecordLength
                                  : (uint16_t)las_format_length(opts.PointDataFormatID);
    h.NumberOfPointReturns = opts.claim_count ? opts.claimed : e.count;
    for (int i = 0; i < 5; i++)
        h.NumberOfPointsByReturn[i] = e.by_return[i];
    h.XScaleFactor = opts.scale[0]; h.YScaleFactor = opts.scale[1]; h.ZScaleFactor = opts.scale[2];
    h.XOffset = opts.offset[0]; h.YOffset = opts.offset[1]; h.ZOffset = opts.offset[2];
    if (e.count) {
        h.MaxX = (double)e.max[0] * h.XScaleFactor + h.XOffset;
        h.MinX = (double)e.min[0] * h.XScaleFactor + h.XOffset;
        h.MaxY = (double)e.max[1] * h.YScaleFactor + h.YOffset;
        h.MinY = (double)e.min[1] * h.YScaleFactor + h.YOffset;
        h.MaxZ = (double)e.max[2] * h.ZScaleFactor + h.ZOffset;
        h.MinZ = (double)e.min[2] * h.ZScaleFactor + h.ZOffset;
    }
    return h;
}

}  // namespace

LAS12Header make_header(const LasOptions &opts, const std::vector<LasPoint> &points)
{
    Extents e;
    for (const LasPoint &p : points)
        e.add(p);
    return header_for(opts, e);
}

std::vector<uint8_t> las_image(const LasOptions &opts, const std::vector<LasPoint> &points)
{
    LAS12Header h = make_header(opts, points);
    const size_t reclen = las_format_length(opts.PointDataFormatID);
    const size_t vlrs = opts.vlr_bytes.size(), records = reclen * points.size();
    std::vector<uint8_t> img(sizeof h + vlrs + records + opts.trailing.size());
    uint8_t *at = img.data();
    memcpy(at, &h, sizeof h);
    at += sizeof h;
    if (vlrs)
        memcpy(at, opts.vlr_bytes.data(), vlrs);
    at += vlrs;
    for (const LasPoint &p : points) {
        encode_point(p, opts.PointDataFormatID, at);
        at += reclen;
    }
    if (!opts.trailing.empty())
        memcpy(at, opts.trailing.data(), opts.trailing.size());
    return img;
}

bool write_las(const std::string &path, const LasOptions &opts, const std::vector<LasPoint> &points)
{
    std::vector<uint8_t> img = las_image(opts, points);
    FILE *fp = fopen(path.c_str(), "wb");
    if (!fp)
        return false;
    bool ok = fwrite(img.data(), 1, img.size(), fp) == img.size();
    return fclose(fp) == 0 && ok;
}

bool write_las_stream(const std::string &path, const LasOptions &opts, uint64_t count,
                      const std::function<LasPoint(uint64_t)> &point_at)
{
    FILE *fp = fopen(path.c_str(), "wb");
    if (!fp)
        return false;
    const size_t reclen = las_format_length(opts.PointDataFormatID);
    const size_t batch_records = 65536;
    std::vector<unsigned char> batch(reclen * batch_records);
    size_t filled = 0;
    Extents e;
    LAS12Header h = header_for(opts, e);  // placeholder, rewritten at the end
    bool ok = fwrite(&h, 1, sizeof h, fp) == sizeof h &&
              fwrite(opts.vlr_bytes.data(), 1, opts.vlr_bytes.size(), fp) == opts.vlr_bytes.size();
    for (uint64_t i = 0; ok && i < count; i++) {
        LasPoint p = point_at(i);
        e.add(p);
        encode_point(p, opts.PointDataFormatID, batch.data() + reclen * filled++);
        if (filled == batch_records || i + 1 == count) {
            ok = fwrite(batch.data(), reclen, filled, fp) == filled;
            filled = 0;
        }
    }
    h = header_for(opts, e);
    ok = ok && fseek(fp, 0, SEEK_SET) == 0 && fwrite(&h, 1, sizeof h, fp) == sizeof h;
    return fclose(fp) == 0 && ok;
}

LasPoint synthetic_point(uint64_t i, uint64_t seed)
{
    uint64_t z = (i + 1) * 0x9E3779B97F4A7C15ull ^ seed;  // splitmix64
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    LasPoint p;
    p.X = (int32_t)(z % 100000);
    p.Y = (int32_t)((z >> 17) % 100000);
    p.Z = (int32_t)((z >> 34) % 5000);
    p.Intensity = (uint16_t)(z >> 48);
    unsigned returns = 1 + (unsigned)((z >> 8) % 4);
    unsigned ret = 1 + (unsigned)((z >> 12) % returns);
    p.bitfield = (uint8_t)(ret | (returns << 3) | (((z >> 20) & 3u) << 6));
    static const uint8_t classes[8] = {2, 2, 2, 2, 1, 3, 5, 6};
    p.Classification = classes[(z >> 24) & 7u];
    p.ScanAngleRank = (int8_t)((int)((z >> 40) % 41) - 20);
    p.UserData = (uint8_t)(z >> 5);
    p.PointSourceID = (uint16_t)(1 + (i / 100000) % 7);
    p.GPSTime = 300000.0 + (double)i * 1e-5;
    p.Red = (uint16_t)z; p.Green = (uint16_t)(z >> 16); p.Blue = (uint16_t)(z >> 32);
    return p;
}

std::vector<uint8_t> make_vlr(const char *user_id, uint16_t record_id, const char *description,
                              const std::vector<uint8_t> &data)
{
    std::vector<uint8_t> v(54 + data.size(), 0);
    memcpy(&v[2], user_id, std::min<size_t>(strlen(user_id), 16));
    v[18] = (uint8_t)record_id;
    v[19] = (uint8_t)(record_id >> 8);
    v[20] = (uint8_t)data.size();
    v[21] = (uint8_t)(data.size() >> 8);
    memcpy(&v[22], description, std::min<size_t>(strlen(description), 32));
    if (!data.empty())
        memcpy(&v[54], data.data(), data.size());
    return v;
}
