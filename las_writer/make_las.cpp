// make_las: writes a reproducible synthetic LAS file.
// Usage: make_las <output.las> <points> [format 0-3] [minor version 0-2] [seed]
#include "las_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const char *const kUsage =
    "Usage: make_las <output.las> <points 0-4294967295> [format 0-3] [minor 0-2] [seed]\n";

// A plain unsigned decimal integer no larger than `max`: digits only, no
// sign, no spaces, no suffix.
bool parse_count(const char *text, uint64_t max, uint64_t *value)
{
    if (*text == '\0' || strspn(text, "0123456789") != strlen(text))
        return false;
    errno = 0;
    unsigned long long v = strtoull(text, nullptr, 10);
    if (errno == ERANGE || v > max)
        return false;
    *value = v;
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
#ifdef _WIN32
    // Messages end in "\n" alone, as on every platform.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    uint64_t count = 0, format = 1, minor = 2, seed = 1;
    bool ok = argc >= 3 && argc <= 6 && parse_count(argv[2], UINT32_MAX, &count) &&
              (argc <= 3 || parse_count(argv[3], 3, &format)) &&
              (argc <= 4 || parse_count(argv[4], 2, &minor)) &&
              (argc <= 5 || parse_count(argv[5], UINT64_MAX, &seed));
    if (!ok) {
        fputs(kUsage, stderr);
        return 2;
    }
    LasOptions opts;
    opts.PointDataFormatID = (uint8_t)format;
    opts.VersionMinor = (uint8_t)minor;
    opts.offset[0] = 500000.0;
    opts.offset[1] = 4000000.0;
    // A small projection record, so that the carried-over VLRs can be seen.
    opts.vlr_bytes = make_vlr("LASF_Projection", 2112, "OGC WKT (sample)",
                              std::vector<uint8_t>{'L', 'O', 'C', 'A', 'L', '_', 'C', 'S', 0});
    opts.vlr_count = 1;
    if (!write_las_stream(argv[1], opts, count,
                          [seed](uint64_t i) { return synthetic_point(i, seed); })) {
        fprintf(stderr, "make_las: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
