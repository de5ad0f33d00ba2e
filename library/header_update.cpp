// Header recomputation: rescan a written LAS file and rewrite its counts,
// counts by return and coordinate extents in place.
#include "Kelvory_LiDAR.h"
#include "internal/block_areas.h"
#include "internal/platform.h"
#include "internal/record_batches.h"
#include "internal/status_routines.h"
#include "kernel/summary.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace {

// Returns numbered 1 to 5 are counted by number; 0, 6 and 7 only in the total.
void count_by_return(PointSummary &s)
{
    for (int r = 1; r <= 5; r++)
        s.ReturnNumberCount[r - 1] = s.by_return_bits[r];
}

// Summarizes every whole record from file offset `pos`, where the stream
// stands, to the end of the file. Returns false on a read error.
bool summarize_records(FILE *fp, unsigned char *area, uint64_t pos, size_t reclen, KernelLevel level,
                       PointSummary &s)
{
    bool more = true;
    while (more) {
        unsigned char *buf = block_place(area, pos);
        const size_t whole = read_record_batch(fp, buf, reclen, &more);
        summarize(level, s, buf, whole, reclen);
        pos += whole * reclen;
    }
    return !file_error(fp);
}

void no_record_memory(const char *filename)
{
    printf("\nCannot allocate memory for storing a record of information from %s\n", filename);
}

// Seeks to the first record and summarizes them all, in `given` or else in an
// area of its own; prints why it failed.
int16_t scan_point_records(const char *filename, FILE *fp, const LAS12Header *ph, size_t reclen,
                           unsigned char *given, KernelLevel level, PointSummary &s)
{
    unsigned char *area = given ? given : alloc_blocks(kBatchRecords * reclen);
    if (!area) {
        no_record_memory(filename);
        return -1;
    }
    const bool ok = seek_to(fp, ph->OffsetToData) == 0 &&
                    summarize_records(fp, area, ph->OffsetToData, reclen, level, s);
    if (!given)
        free_blocks(area);
    if (!ok) {
        printf("\nCannot read the point records of %s for header update\n\n", filename);
        return -1;
    }
    return 0;
}

// A file without records keeps the traditional start values of the
// extremes; with records the extremes are exactly those of the records.
void apply_empty_start_values(PointSummary &s)
{
    s.max = CoordinateLanes{INT32_MIN + 2, INT32_MIN + 2, -10000000, 0};
    s.min = CoordinateLanes{INT32_MAX - 1, INT32_MAX - 1, 10000000, 0};
}

void store_summary(LAS12Header &h, const PointSummary &s)
{
    h.NumberOfPointReturns = s.return_count;
    for (int i = 0; i < 5; i++)
        h.NumberOfPointsByReturn[i] = s.ReturnNumberCount[i];
    h.MaxX = (double)s.max[0] * h.XScaleFactor + h.XOffset;
    h.MinX = (double)s.min[0] * h.XScaleFactor + h.XOffset;
    h.MaxY = (double)s.max[1] * h.YScaleFactor + h.YOffset;
    h.MinY = (double)s.min[1] * h.YScaleFactor + h.YOffset;
    h.MaxZ = (double)s.max[2] * h.ZScaleFactor + h.ZOffset;
    h.MinZ = (double)s.min[2] * h.ZScaleFactor + h.ZOffset;
}

int16_t update_open_file(const char *filename, FILE *fp, LASType kind, unsigned char *area,
                         KernelLevel level, LAS12Header *ph)
{
    if (!read_header_block(fp, ph)) {
        if (file_error(fp))
            printf("\nCannot read the header of %s for header update\n\n", filename);
        else
            header_too_short(filename);
        return -1;
    }
    PointSummary s;
    const size_t reclen = las_record_length(kind);
    if (reclen != 0 && scan_point_records(filename, fp, ph, reclen, area, level, s) < 0)
        return -1;
    count_by_return(s);
    if (s.return_count == 0)
        apply_empty_start_values(s);
    store_summary(*ph, s);
    if (seek_to(fp, 0) != 0 || file_write(ph, sizeof *ph, fp) != sizeof *ph || file_flush(fp) != 0) {
        printf("\nCannot write the header of %s\n\n", filename);
        return -1;
    }
    return 0;
}

}  // namespace

int16_t update_header_status(const char *filename, KernelLevel level)
{
    return update_header_in(filename, nullptr, 0, level);
}

int16_t update_header_in(const char *filename, unsigned char *area, size_t area_size, KernelLevel level)
{
    bool name_refused;
    const LASType kind = check_las_why(filename, &name_refused);
    if (kind < 0)
        return name_refused ? UPDATE_NAME_REFUSED : -1;
    if (area && area_size < area_bytes(kBatchRecords * las_record_length(kind))) {
        no_record_memory(filename);
        return -1;
    }
    FILE *fp = file_open(filename, "r+b");
    if (!fp) {
        printf("\nCannot open binary file %s for header update\n\n", filename);
        return -1;
    }
    stream_whole_batches(fp);
    LAS12Header *ph = (LAS12Header *)malloc(sizeof(LAS12Header));
    if (!ph) {
        printf("\nCannot allocate memory for storing %s header information\n", filename);
        file_close(fp);
        return -1;
    }
    int16_t status = update_open_file(filename, fp, kind, area, level, ph);
    free(ph);
    if (file_close(fp) != 0 && status == 0) {
        printf("\nCannot write the header of %s\n\n", filename);
        status = -1;
    }
    if (status == 0)
        printf("\rHeader of file %s has been updated    ", filename);
    return status;
}

void update_header(const char *filename)
{
    if (update_header_status(filename, best_kernel_level()) < 0)
        exit(-1);
}
