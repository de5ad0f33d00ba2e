// The whole filter pass on arbitrary file bytes, with the attribute and the
// bounds taken from the first bytes of the input.
#include "Kelvory_LiDAR.h"
#include "filter_pass.h"
#include "request.h"
#include "fuzz_common.h"
#include "las_writer.h"

#include <cmath>
#include <cstring>
#include <sys/stat.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    silence_stdout();
    if (size < 17)
        return 0;
    double lo, hi;
    memcpy(&lo, data + 1, 8);
    memcpy(&hi, data + 9, 8);
    if (std::isnan(lo) || std::isnan(hi) || lo > hi)
        return 0;  // the command line never hands these over
    const std::string in = scratch_dir() + "/in.las", out = scratch_dir() + "/out.las";
    if (!write_file(in, std::vector<uint8_t>(data + 17, data + size)))
        abort();
    remove(out.c_str());
    Request rq = {in.c_str(), out.c_str(), (int16_t)(1 + data[0] % 13), lo, hi, clock()};
    int16_t status = filter_pass(&rq);
    struct stat st;
    bool exists = stat(out.c_str(), &st) == 0;
    if (status == 0) {
        // A completed output holds its header, the bytes up to the points and
        // exactly the counted records.
        LAS12Header h;
        FILE *fp = fopen(out.c_str(), "rb");
        if (!exists || !fp || fread(&h, 1, sizeof h, fp) != sizeof h)
            abort();
        fclose(fp);
        uint64_t reclen = h.PointDataRecordLength;
        if ((uint64_t)st.st_size != h.OffsetToData + reclen * h.NumberOfPointReturns)
            abort();
        if (h.NumberOfPointReturns == 0)
            abort();
    }
    return 0;
}
