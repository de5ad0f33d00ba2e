// check_las and the header recomputation on arbitrary file bytes.
#include "Kelvory_LiDAR.h"
#include "fuzz_common.h"
#include "las_writer.h"
#include "internal/status_routines.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    silence_stdout();
    const std::string path = scratch_dir() + "/input.las";
    if (!write_file(path, std::vector<uint8_t>(data, data + size)))
        abort();
    LASType kind = check_las(path.c_str());
    if (kind < -1 || kind > 8)
        abort();
    int16_t status = update_header_status(path.c_str(), best_kernel_level());
    if ((kind < 0) != (status < 0) && size >= sizeof(LAS12Header))
        abort();  // an accepted whole header is always updated
    if (status == 0) {
        // The rewritten header counts exactly the whole records present.
        FILE *fp = fopen(path.c_str(), "rb");
        LAS12Header h;
        if (!fp || fread(&h, 1, sizeof h, fp) != sizeof h)
            abort();
        fclose(fp);
        uint64_t reclen = las_record_length(kind), records = 0;
        if (reclen && size > h.OffsetToData)
            records = (size - h.OffsetToData) / reclen;
        if (h.NumberOfPointReturns != records)
            abort();
    }
    return 0;
}
