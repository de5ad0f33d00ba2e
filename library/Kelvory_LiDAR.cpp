// Kelvory_LiDAR: LAS input validation, header recomputation and the banner.
#include "Kelvory_LiDAR.h"
#include "kelvory_cores.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---------------------------------------------------------------------------
// Input validation

int16_t file_access(const char *filename)
{
    FILE *fp = fopen(filename, "r");
    if (fp) {
        fclose(fp);
        return 0;
    }
    printf("Unable to open file %s in file_access()\n", filename);
    return -1;
}

int16_t check_file_extension(const char *filename, const char *extension)
{
    size_t L = strlen(filename);
    if (L <= 4) {
        printf("\nFile name (%s) is too short\n", filename);
        return -1;
    }
    if (filename[L - 4] != '.') {
        printf("\nExtension of file %s should be preceeded by a dot (.)\n", filename);
        return -1;
    }
    char ActualExt[5];
    memcpy(ActualExt, filename + L - 3, 3);
    ActualExt[3] = '\0';
    if (strcmp(ActualExt, extension) == 0)
        return 0;
    printf("\nFile extension of %s is not .%s\n", filename, extension);
    return -1;
}

void error_msg(int32_t i, const char *text)
{
    switch (i) {
    case 1: printf("\nFile %s does NOT exist\n", text); break;
    case 2: printf("\nFile %s already exists\n", text); break;
    case 3: printf("\nSame file name (%s) has been specified twice\n", text); break;
    default: break;
    }
}

// Reads `n` bytes; a short read means the file ends before the field.
static bool read_field(FILE *fp, void *dst, size_t n)
{
    return fread(dst, 1, n, fp) == n;
}

// The kind of a file that passed the signature, version and format checks,
// or -1 (with its message) when the record length does not fit the format.
static LASType classify_las(const char *filename, uint8_t minor, uint8_t format,
                            uint16_t length)
{
    if (minor < 2 && format >= 2)
        return 0;  // no layout for formats 2 and 3 before 1.2
    static const uint16_t required[4] = {20, 28, 26, 34};
    if (length != required[format]) {
        printf("\nData format of %s (%c) is incompatible with Length of Data Record (%d)\n",
               filename, format + 48, (int)length);
        return -1;
    }
    if (format < 2)
        return (LASType)(1 + 2 * minor + format);  // 1..6
    return (LASType)(5 + format);                  // 7, 8
}

// The checks after the file is open, in their fixed order: signature,
// major version, minor version, format, record length.
static LASType check_las_stream(const char *filename, FILE *fp)
{
    char sig[4];
    uint8_t major = 0, minor = 0, format = 0, len[2];
    if (!read_field(fp, sig, 4) || memcmp(sig, "LASF", 4) != 0 ||
        fseek(fp, 20, SEEK_CUR) != 0 || !read_field(fp, &major, 1)) {
        printf("\n%s is not a valid .las file\n\n", filename);
        return -1;
    }
    if (major != 1) {
        printf("\nCannot handle las files of version %c.x\n", major + 48);
        return -1;
    }
    if (!read_field(fp, &minor, 1)) {
        printf("\n%s is not a valid .las file\n\n", filename);
        return -1;
    }
    if (minor > 2) {
        printf("\nCannot handle las files of version %c.%c\n", major + 48, minor + 48);
        return -1;
    }
    if (fseek(fp, 78, SEEK_CUR) != 0 || !read_field(fp, &format, 1)) {
        printf("\n%s is not a valid .las file\n\n", filename);
        return -1;
    }
    if (format > 3) {
        printf("\nPointDataFormatID in %s is %c. Only 0, 1, 2, or 3 is accepted\n",
               filename, format + 48);
        return -1;
    }
    if (!read_field(fp, len, 2)) {
        printf("\n%s is not a valid .las file\n\n", filename);
        return -1;
    }
    return classify_las(filename, minor, format, (uint16_t)(len[0] | (len[1] << 8)));
}

LASType check_las_why(const char *filename, bool *name_refused)
{
    *name_refused = false;
    if (file_access(filename) < 0) {
        error_msg(1, filename);
        return -1;
    }
    if (check_file_extension(filename, "las") < 0) {
        *name_refused = true;
        return -1;
    }
    FILE *fp = fopen(filename, "rb");
    if (!fp) {
        printf("\nCannot open file %s in binary mode\n\n", filename);
        return -1;
    }
    LASType kind = check_las_stream(filename, fp);
    fclose(fp);
    return kind;
}

LASType check_las(const char *filename)
{
    bool name_refused;
    return check_las_why(filename, &name_refused);
}

// ---------------------------------------------------------------------------
// Header recomputation

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

// Records are read in batches of this many (a whole number of 4096-byte
// blocks for every layout, so each batch is one direct read).
constexpr size_t kScanBatchRecords = 32768;

int32_t load_i32(const unsigned char *p)
{
    int32_t v;
    memcpy(&v, p, sizeof v);
    return v;
}

void summarize_record(PointSummary &s, const unsigned char *rec, size_t lane)
{
    int32_t X = load_i32(rec), Y = load_i32(rec + 4), Z = load_i32(rec + 8);
    s.maxX = X > s.maxX ? X : s.maxX;
    s.minX = X < s.minX ? X : s.minX;
    s.maxY = Y > s.maxY ? Y : s.maxY;
    s.minY = Y < s.minY ? Y : s.minY;
    s.maxZ = Z > s.maxZ ? Z : s.maxZ;
    s.minZ = Z < s.minZ ? Z : s.minZ;
    s.by_return_bits[lane][rec[14] & 7u]++;
    s.return_count++;
}

// Returns numbered 1 to 5 are counted by number; 0, 6 and 7 only in the total.
void count_by_return(PointSummary &s)
{
    for (int r = 1; r <= 5; r++)
        for (int lane = 0; lane < 4; lane++)
            s.ReturnNumberCount[r - 1] += s.by_return_bits[lane][r];
}

// Reads whole records from the current position to the end of the file,
// a batch of `batch` bytes (a whole number of records) at a time; a trailing
// piece shorter than a record is not a record. Returns false on a read error.
bool summarize_records(FILE *fp, unsigned char *buf, size_t batch, size_t reclen,
                       PointSummary &s)
{
    PointSummary t = s;  // a local copy stays in registers through the loop
    size_t got;
    do {
        got = fread(buf, 1, batch, fp);
        size_t whole = got / reclen;
        for (size_t i = 0; i < whole; i++)
            summarize_record(t, buf + i * reclen, i & 3);
    } while (got == batch);
    s = t;
    return !ferror(fp);
}

// Seeks to the first record and summarizes them all; prints why it failed.
int16_t scan_point_records(const char *filename, FILE *fp, const LAS12Header *ph,
                           size_t reclen, PointSummary &s)
{
    size_t batch = kScanBatchRecords * reclen;
    unsigned char *buf = (unsigned char *)malloc(batch);
    if (!buf) {
        printf("\nCannot allocate memory for storing a record of information from %s\n",
               filename);
        return -1;
    }
    bool ok = fseek(fp, (long)ph->OffsetToData, SEEK_SET) == 0 &&
              summarize_records(fp, buf, batch, reclen, s);
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

// ---------------------------------------------------------------------------
// The suite banner

void credits(void)
{
    printf("\nKelvory LiDAR Utilities");
    printf("\n\nDeveloped and maintained by %s", "the Quorvane maintainers");
    printf("\n%s", "Kelvory LiDAR Utilities project");
    printf("\n%s", "Contact: through the project's issue tracker");
    printf("\n\n** No warranty regarding script behavior is given or implied **");
    puts("\n** Acknowledging the author's efforts ensures script updates and availability **");
}
