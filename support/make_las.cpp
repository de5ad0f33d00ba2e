// make_las: writes a reproducible synthetic LAS file.
// Usage: make_las <output.las> <points> [format 0-3] [minor version 0-2] [seed]
#include "las_writer.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc < 3 || argc > 6) {
        fprintf(stderr, "Usage: make_las <output.las> <points> [format 0-3] [minor 0-2] [seed]\n");
        return 2;
    }
    LasOptions opts;
    uint64_t count = strtoull(argv[2], nullptr, 10);
    opts.PointDataFormatID = argc > 3 ? (uint8_t)atoi(argv[3]) : 1;
    opts.VersionMinor = argc > 4 ? (uint8_t)atoi(argv[4]) : 2;
    uint64_t seed = argc > 5 ? strtoull(argv[5], nullptr, 10) : 1;
    if (opts.PointDataFormatID > 3 || opts.VersionMinor > 2) {
        fprintf(stderr, "make_las: format must be 0-3 and minor version 0-2\n");
        return 2;
    }
    opts.offset[0] = 500000.0;
    opts.offset[1] = 4000000.0;
    // A small projection record, so that the carried-over VLRs can be seen.
    opts.vlr_bytes = make_vlr("LASF_Projection", 2112, "OGC WKT (sample)",
                              std::vector<uint8_t>{'L', 'O', 'C', 'A', 'L', '_', 'C', 'S', 0});
    opts.vlr_count = 1;
    bool ok = write_las_stream(argv[1], opts, count,
                               [seed](uint64_t i) { return synthetic_point(i, seed); });
    if (!ok) {
        fprintf(stderr, "make_las: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
