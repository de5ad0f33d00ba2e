#include "las_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Copies the fields LasPoint and the widest layout share by name, each
// converted to the destination's type.
template <typename To, typename From>
void copy_point_fields(To &to, const From &from)
{
#define KELVORY_COPY(field) to.field = static_cast<decltype(to.field)>(from.field)
    KELVORY_COPY(X); KELVORY_COPY(Y); KELVORY_COPY(Z);
    KELVORY_COPY(Intensity); KELVORY_COPY(bitfield); KELVORY_COPY(Classification);
    KELVORY_COPY(ScanAngleRank); KELVORY_COPY(UserData); KELVORY_COPY(PointSourceID);
    KELVORY_COPY(GPSTime); KELVORY_COPY(Red); KELVORY_COPY(Green); KELVORY_COPY(Blue);
#undef KELVORY_COPY
}

}  // namespace

// Format 3 holds every field; formats 0 and 1 are its prefixes, and format 2
// is its core followed by the colours.
void encode_point(const LasPoint &p, uint8_t format, unsigned char *out)
{
    LAS12fm3 r;
    copy_point_fields(r, p);
    if (format == 2) {
        LAS12fm2 c;
        memcpy(&c, &r, sizeof(LAS12fm0));
        c.Red = p.Red; c.Green = p.Green; c.Blue = p.Blue;
        memcpy(out, &c, sizeof c);
        return;
    }
    memcpy(out, &r, las_format_record_length(format));
}

LasPoint decode_point(const unsigned char *rec, uint8_t format)
{
    LAS12fm3 r{};
    if (format == 2) {
        LAS12fm2 c;
        memcpy(&c, rec, sizeof c);
        memcpy(&r, &c, sizeof(LAS12fm0));
        r.Red = c.Red; r.Green = c.Green; r.Blue = c.Blue;
    } else {
        memcpy(&r, rec, las_format_record_length(format));
    }
    LasPoint p;  // a layout without GPS time or colours leaves them 0
    copy_point_fields(p, r);
    return p;
}

void PointExtents::add(const LasPoint &p)
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

void PointExtents::store(LAS12Header &h) const
{
    for (int i = 0; i < 5; i++)
        h.NumberOfPointsByReturn[i] = by_return[i];
    if (count == 0)
        return;
    h.MaxX = (double)max[0] * h.XScaleFactor + h.XOffset;
    h.MinX = (double)min[0] * h.XScaleFactor + h.XOffset;
    h.MaxY = (double)max[1] * h.YScaleFactor + h.YOffset;
    h.MinY = (double)min[1] * h.YScaleFactor + h.YOffset;
    h.MaxZ = (double)max[2] * h.ZScaleFactor + h.ZOffset;
    h.MinZ = (double)min[2] * h.ZScaleFactor + h.ZOffset;
}

namespace {

LAS12Header header_for(const LasOptions &opts, const PointExtents &e)
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
                                  : (uint16_t)las_format_record_length(opts.PointDataFormatID);
    h.NumberOfPointReturns = opts.claim_count ? opts.claimed : e.count;
    h.XScaleFactor = opts.scale[0]; h.YScaleFactor = opts.scale[1]; h.ZScaleFactor = opts.scale[2];
    h.XOffset = opts.offset[0]; h.YOffset = opts.offset[1]; h.ZOffset = opts.offset[2];
    e.store(h);
    return h;
}

}  // namespace

LAS12Header make_header(const LasOptions &opts, const std::vector<LasPoint> &points)
{
    PointExtents e;
    for (const LasPoint &p : points)
        e.add(p);
    return header_for(opts, e);
}

std::vector<uint8_t> las_image(const LasOptions &opts, const std::vector<LasPoint> &points)
{
    LAS12Header h = make_header(opts, points);
    const size_t reclen = las_format_record_length(opts.PointDataFormatID);
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

LAS12Header header_of(const std::vector<uint8_t> &bytes)
{
    LAS12Header h;
    memcpy(&h, bytes.data(), sizeof h);
    return h;
}

bool write_file(const std::string &path, const std::vector<uint8_t> &bytes)
{
    FILE *fp = fopen(path.c_str(), "wb");
    if (!fp)
        return false;
    bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size();
    return fclose(fp) == 0 && ok;
}

bool write_las_stream(const std::string &path, const LasOptions &opts, uint64_t count,
                      const std::function<LasPoint(uint64_t)> &point_at)
{
    FILE *fp = fopen(path.c_str(), "wb");
    if (!fp)
        return false;
    const size_t reclen = las_format_record_length(opts.PointDataFormatID);
    const size_t batch_records = 65536;
    std::vector<unsigned char> batch(reclen * batch_records);
    size_t filled = 0;
    PointExtents e;
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
