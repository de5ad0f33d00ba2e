// Header recomputation: rescan a written LAS file and rewrite its counts,
// counts by return and coordinate extents in place.
#include "Kelvory_LiDAR.h"
#include "kelvory_cores.h"
#include "record_io.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

// What a rescan of the point records finds.
struct PointSummary {
    int32_t maxX = INT32_MIN, minX = INT32_MAX;
    int32_t maxY = INT32_MIN, minY = INT32_MAX;
    int32_t maxZ = INT32_MIN, minZ = INT32_MAX;
    uint32_t return_count = 0;
    uint32_t ReturnNumberCount[5] = {0, 0, 0, 0, 0};
    // Counts by bits 0-2, in four lanes taken in turn: successive records
    // with the same return number then do not wait on one counter.
    uint32_t by_return_bits[4][8] = {};
};

// The core fields are at the same offsets in every layout.
void summarize_record(PointSummary &s, const unsigned char *rec, size_t lane)
{
    int32_t X = LOAD_FIELD(LAS12fm0, X, rec);
    int32_t Y = LOAD_FIELD(LAS12fm0, Y, rec);
    int32_t Z = LOAD_FIELD(LAS12fm0, Z, rec);
    s.maxX = X > s.maxX ? X : s.maxX;
    s.minX = X < s.minX ? X : s.minX;
    s.maxY = Y > s.maxY ? Y : s.maxY;
    s.minY = Y < s.minY ? Y : s.minY;
    s.maxZ = Z > s.maxZ ? Z : s.maxZ;
    s.minZ = Z < s.minZ ? Z : s.minZ;
    s.by_return_bits[lane][(uint8_t)LOAD_FIELD(LAS12fm0, bitfield, rec) & 7u]++;
    s.return_count++;
}

// Returns numbered 1 to 5 are counted by number; 0, 6 and 7 only in the total.
void count_by_return(PointSummary &s)
{
    for (int r = 1; r <= 5; r++)
        for (int lane = 0; lane < 4; lane++)
            s.ReturnNumberCount[r - 1] += s.by_return_bits[lane][r];
}

// Summarizes every whole record from the current position to the end of the
// file. Returns false on a read error.
bool summarize_records(FILE *fp, unsigned char *buf, size_t reclen, PointSummary &s)
{
    PointSummary t = s;  // a local copy stays in registers through the loop
    bool more = true;
    while (more) {
        size_t whole = read_record_batch(fp, buf, reclen, &more);
        for (size_t i = 0; i < whole; i++)
            summarize_record(t, buf + i * reclen, i & 3);
    }
    s = t;
    return !ferror(fp);
}

// Seeks to the first record and summarizes them all; prints why it failed.
int16_t scan_point_records(const char *filename, FILE *fp, const LAS12Header *ph,
                           size_t reclen, PointSummary &s)
{
    unsigned char *buf = (unsigned char *)malloc(kBatchRecords * reclen);
    if (!buf) {
        printf("\nCannot allocate memory for storing a record of information from %s\n",
               filename);
        return -1;
    }
    bool ok = fseek(fp, (long)ph->OffsetToData, SEEK_SET) == 0 &&
              summarize_records(fp, buf, reclen, s);
    free(buf);
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
    s.maxX = s.maxY = INT32_MIN + 2;
    s.minX = s.minY = INT32_MAX - 1;
    s.maxZ = -10000000;
    s.minZ = 10000000;
}

void store_summary(LAS12Header &h, const PointSummary &s)
{
    h.NumberOfPointReturns = s.return_count;
    for (int i = 0; i < 5; i++)
        h.NumberOfPointsByReturn[i] = s.ReturnNumberCount[i];
    h.MaxX = (double)s.maxX * h.XScaleFactor + h.XOffset;
    h.MinX = (double)s.minX * h.XScaleFactor + h.XOffset;
    h.MaxY = (double)s.maxY * h.YScaleFactor + h.YOffset;
    h.MinY = (double)s.minY * h.YScaleFactor + h.YOffset;
    h.MaxZ = (double)s.maxZ * h.ZScaleFactor + h.ZOffset;
    h.MinZ = (double)s.minZ * h.ZScaleFactor + h.ZOffset;
}

int16_t update_open_file(const char *filename, FILE *fp, LASType kind, LAS12Header *ph)
{
    if (fread(ph, 1, sizeof *ph, fp) != sizeof *ph) {
        if (ferror(fp))
            printf("\nCannot read the header of %s for header update\n\n", filename);
        else
            printf("\nFile %s is too short to hold a LAS header block\n\n", filename);
        return -1;
    }
    PointSummary s;
    size_t reclen = las_record_length(kind);
    if (reclen != 0 && scan_point_records(filename, fp, ph, reclen, s) < 0)
        return -1;
    count_by_return(s);
    if (s.return_count == 0)
        apply_empty_start_values(s);
    store_summary(*ph, s);
    if (fseek(fp, 0, SEEK_SET) != 0 || fwrite(ph, 1, sizeof *ph, fp) != sizeof *ph ||
        fflush(fp) != 0) {
        printf("\nCannot write the header of %s\n\n", filename);
        return -1;
    }
    return 0;
}

}  // namespace

int16_t update_header_status(const char *filename)
{
    bool name_refused;
    LASType kind = check_las_why(filename, &name_refused);
    if (kind < 0)
        return name_refused ? UPDATE_NAME_REFUSED : -1;
    FILE *fp = fopen(filename, "r+b");
    if (!fp) {
        printf("\nCannot open binary file %s for header update\n\n", filename);
        return -1;
    }
    LAS12Header *ph = (LAS12Header *)malloc(sizeof(LAS12Header));
    if (!ph) {
        printf("\nCannot allocate memory for storing %s header information\n", filename);
        fclose(fp);
        return -1;
    }
    int16_t status = update_open_file(filename, fp, kind, ph);
    free(ph);
    if (fclose(fp) != 0 && status == 0) {
        printf("\nCannot write the header of %s\n\n", filename);
        status = -1;
    }
    if (status == 0)
        printf("\rHeader of file %s has been updated    ", filename);
    return status;
}

void update_header(const char *filename)
{
    if (update_header_status(filename) < 0)
        exit(-1);
}
