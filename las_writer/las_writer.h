// A small LAS writer built on the library's records. It makes the sample
// file, the tests' inputs and the benchmarks' workloads, including files that
// real writers get wrong (counts that disagree with the records, a trailing
// partial record).
#ifndef LAS_WRITER_H
#define LAS_WRITER_H

#include "Kelvory_LiDAR.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One point with every field any of the four formats holds.
struct LasPoint {
    int32_t X = 0, Y = 0, Z = 0;
    uint16_t Intensity = 0;
    uint8_t bitfield = 0x09;  // return 1 of 1
    uint8_t Classification = 0;
    int8_t ScanAngleRank = 0;
    uint8_t UserData = 0;
    uint16_t PointSourceID = 0;
    double GPSTime = 0.0;
    uint16_t Red = 0, Green = 0, Blue = 0;
};

struct LasOptions {
    uint8_t VersionMinor = 2;       // 0, 1 or 2
    uint8_t PointDataFormatID = 1;  // 0..3
    uint16_t PointDataRecordLength = 0;  // 0: the format's own length
    double scale[3] = {0.01, 0.01, 0.01};
    double offset[3] = {0.0, 0.0, 0.0};
    std::vector<uint8_t> vlr_bytes;  // written between header and records
    uint32_t vlr_count = 0;          // NumberOfVariableLengthRecords
    bool claim_count = false;        // use `claimed` instead of the true count
    uint32_t claimed = 0;
    std::vector<uint8_t> trailing;   // bytes after the last record
};

// Writes one point as a record of `format` into `out`.
void encode_point(const LasPoint &p, uint8_t format, unsigned char *out);

// Reads one record of `format`.
LasPoint decode_point(const unsigned char *rec, uint8_t format);

// The counts by return and the extents of the points seen, as a header
// records them: extents from the stored integers with the header's scale
// factors and offsets (a header without points keeps its extents).
struct PointExtents {
    int64_t max[3] = {INT64_MIN, INT64_MIN, INT64_MIN};
    int64_t min[3] = {INT64_MAX, INT64_MAX, INT64_MAX};
    uint32_t count = 0;
    uint32_t by_return[5] = {0, 0, 0, 0, 0};
    void add(const LasPoint &p);
    void store(LAS12Header &h) const;
};

// The header block a file of these points gets: true counts and extents
// unless the opts overrides them.
LAS12Header make_header(const LasOptions &opts, const std::vector<LasPoint> &points);

// The header block at the start of a file's bytes (at least 227 of them).
// Its packed fields are read by value (`+h.MaxX`): a reference to one could
// be misaligned.
LAS12Header header_of(const std::vector<uint8_t> &bytes);

// The whole file image.
std::vector<uint8_t> las_image(const LasOptions &opts, const std::vector<LasPoint> &points);

// Writes `bytes` as the whole file at `path`.
bool write_file(const std::string &path, const std::vector<uint8_t> &bytes);

// Streams `count` generated points to `path` in constant memory; the header
// claims `count` points and its extents cover the generated ones.
bool write_las_stream(const std::string &path, const LasOptions &opts, uint64_t count,
                      const std::function<LasPoint(uint64_t)> &point_at);

// A reproducible survey-like point: classes 1-6 (mostly 2), up to 4 returns,
// GPS time ascending.
LasPoint synthetic_point(uint64_t i, uint64_t seed);

// One variable-length record: the 54-byte record header and its data.
std::vector<uint8_t> make_vlr(const char *user_id, uint16_t record_id, const char *description,
                              const std::vector<uint8_t> &data);
#endif
