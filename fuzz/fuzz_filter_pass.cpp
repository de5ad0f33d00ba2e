// The whole filter pass on arbitrary file bytes, with the attribute and the
// bounds taken from the first bytes of the input. A completed output must be
// byte for byte what the independent reading of the input gives.
#include "Kelvory_LiDAR.h"
#include "run/filter_pass.h"
#include "cli/request.h"
#include "fuzz_common.h"
#include "las_writer.h"
#include "reference.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

// The value a bound typed with six decimals has, as the command line's
// check lets through.
static double as_typed(double v)
{
    char text[400];
    snprintf(text, sizeof text, "%f", v);
    return decimal_value(text, nullptr);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    silence_stdout();
    if (size < 17)
        return 0;
    double lo, hi;
    memcpy(&lo, data + 1, 8);
    memcpy(&hi, data + 9, 8);
    if (!std::isfinite(lo) || !std::isfinite(hi))
        return 0;  // the command line never hands these over
    lo = as_typed(lo);
    hi = as_typed(hi);
    if (lo > hi)
        return 0;
    const std::string in = scratch_dir() + "/in.las", out = scratch_dir() + "/out.las";
    if (!write_file(in, std::vector<uint8_t>(data + 17, data + size)))
        abort();
    remove(out.c_str());
    Request rq = {in.c_str(), out.c_str(), (int16_t)(1 + data[0] % 13), lo, hi, clock()};
    int16_t status = filter_pass(&rq);
    if (status == 0) {
        // A completed run kept records, and wrote exactly the input's header
        // with the recomputed counts and extents, the bytes up to the points
        // and the kept records.
        const std::vector<uint8_t> input(data + 17, data + size);
        Expected e = expected_filter(input, rq.AttrID, lo, hi);
        if (e.kept == 0 || read_file(out) != e.file)
            abort();
    }
    return 0;
}
