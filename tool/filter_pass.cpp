// The filter pass: stream the input's point records, keep those whose
// attribute lies in [AttrMin, AttrMax], and finalise the output file.
#include "Quorvane.h"

#include "Kelvory_LiDAR.h"
#include "kelvory_cores.h"
#include "output_guard.h"
#include "test_seam.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <type_traits>

namespace {

// Records are streamed in batches of this many whole records. A multiple of
// the 4096-byte block keeps each batch one direct read, whatever the record
// size; the largest layout makes a batch of about 1.1 MB.
constexpr size_t kBatchRecords = 32768;
constexpr size_t kBatchBytes = kBatchRecords * sizeof(LAS12fm3);

template <typename T>
T load(const unsigned char *p)
{
    T v;
    memcpy(&v, p, sizeof v);
    return v;
}

// GPS time is compared as the double it is; every other attribute is an
// integer field and is compared as an integer.
template <int AttrID>
using Value = std::conditional_t<AttrID == 13, double, int64_t>;

// The value of attribute `AttrID` of one record, as compared with the bounds.
template <int AttrID>
Value<AttrID> extract(const unsigned char *rec)
{
    if constexpr (AttrID == 1) return load<int32_t>(rec + 0);
    if constexpr (AttrID == 2) return load<int32_t>(rec + 4);
    if constexpr (AttrID == 3) return load<int32_t>(rec + 8);
    if constexpr (AttrID == 4) return load<uint16_t>(rec + 12);
    if constexpr (AttrID == 5) return rec[14] & 7;
    if constexpr (AttrID == 6) return (rec[14] >> 3) & 7;
    if constexpr (AttrID == 7) return (rec[14] >> 6) & 1;
    if constexpr (AttrID == 8) return (rec[14] >> 7) & 1;
    if constexpr (AttrID == 9) return rec[15];
    if constexpr (AttrID == 10) return (int8_t)rec[16];
    if constexpr (AttrID == 11) return rec[17];
    if constexpr (AttrID == 12) return load<uint16_t>(rec + 18);
    if constexpr (AttrID == 13) return load<double>(rec + 20);
}

// Streams and buffers owned by one run.
struct Pass {
    const Request *rq;
    FILE *fin = nullptr;
    FILE *fout = nullptr;
    unsigned char *inbuf = nullptr;
    unsigned char *outbuf = nullptr;
    uint32_t rec_cnt = 0;
};

enum class ScanResult { ok, read_error, write_error };

// The closed range [lo, hi] in the attribute's own type. For an integer v,
// lo <= v exactly when ceil(lo) <= v, and v <= hi exactly when v <= floor(hi);
// a NaN bound, like a NaN value, lets nothing pass. Clamping to +-4e18 keeps
// the conversion defined and lies beyond every field's range.
template <typename T>
struct Bounds {
    T lo, hi;
};

template <typename T>
Bounds<T> bounds_in(double lo, double hi)
{
    if constexpr (std::is_floating_point_v<T>) {
        return {lo, hi};
    } else {
        const double big = 4e18;
        double l = std::isnan(lo) ? big : std::min(std::ceil(std::max(lo, -big)), big);
        double h = std::isnan(hi) ? -big : std::max(std::floor(std::min(hi, big)), -big);
        return {(T)l, (T)h};
    }
}

// One loop per (record layout, attribute): one read per batch of whole
// records, one extraction and one comparison per record, and one write per
// batch of kept records. NaN fails both comparisons and is never kept.
// The output buffer holds a whole input batch, so it never overflows.
template <size_t RecLen, int AttrID>
ScanResult scan(Pass &ps, double AttrMin, double AttrMax)
{
    const Bounds<Value<AttrID>> b = bounds_in<Value<AttrID>>(AttrMin, AttrMax);
    const size_t batch = kBatchRecords * RecLen;
    unsigned char *const in = ps.inbuf, *const out = ps.outbuf;
    size_t got;
    do {
        got = fread(in, 1, batch, ps.fin);
        const size_t whole = got / RecLen;  // a trailing partial record is not a record
        size_t kept = 0;
        for (size_t i = 0; i < whole; i++) {
            // Copy every record and advance only past kept ones: no branch
            // for the processor to mispredict on mixed data.
            const unsigned char *rec = in + i * RecLen;
            const Value<AttrID> v = extract<AttrID>(rec);
            memcpy(out + RecLen * kept, rec, RecLen);
            kept += (b.lo <= v) & (v <= b.hi);
        }
        if (kept && fwrite(out, RecLen, kept, ps.fout) != kept)
            return ScanResult::write_error;
        ps.rec_cnt += (uint32_t)kept;
        test_hold("scan");
    } while (got == batch);
    return ferror(ps.fin) ? ScanResult::read_error : ScanResult::ok;
}

template <size_t RecLen, bool HasGPSTime>
ScanResult scan_layout(Pass &ps, double lo, double hi)
{
    switch (ps.rq->AttrID) {
    case 1: return scan<RecLen, 1>(ps, lo, hi);
    case 2: return scan<RecLen, 2>(ps, lo, hi);
    case 3: return scan<RecLen, 3>(ps, lo, hi);
    case 4: return scan<RecLen, 4>(ps, lo, hi);
    case 5: return scan<RecLen, 5>(ps, lo, hi);
    case 6: return scan<RecLen, 6>(ps, lo, hi);
    case 7: return scan<RecLen, 7>(ps, lo, hi);
    case 8: return scan<RecLen, 8>(ps, lo, hi);
    case 9: return scan<RecLen, 9>(ps, lo, hi);
    case 10: return scan<RecLen, 10>(ps, lo, hi);
    case 11: return scan<RecLen, 11>(ps, lo, hi);
    case 12: return scan<RecLen, 12>(ps, lo, hi);
    default:
        if constexpr (HasGPSTime)
            return scan<RecLen, 13>(ps, lo, hi);
        return ScanResult::ok;  // refused before the scan
    }
}

// Chooses the loop for the input's layout and the requested attribute, once.
ScanResult scan_records(Pass &ps, LASType kind, double lo, double hi)
{
    switch (las_record_length(kind)) {
    case sizeof(LAS12fm0): return scan_layout<sizeof(LAS12fm0), false>(ps, lo, hi);
    case sizeof(LAS12fm1): return scan_layout<sizeof(LAS12fm1), true>(ps, lo, hi);
    case sizeof(LAS12fm2): return scan_layout<sizeof(LAS12fm2), false>(ps, lo, hi);
    case sizeof(LAS12fm3): return scan_layout<sizeof(LAS12fm3), true>(ps, lo, hi);
    default: return ScanResult::ok;  // kind 0: no layout, no records
    }
}

// A bound typed as a value the file stores means that stored integer, but
// (bound - offset) / scale misses it by the rounding of the decimal texts and
// the arithmetic: a few units in the last place of the larger operand, in
// stored units. Within that (and never more than 1/16 of a step) the
// converted bound is taken as the whole number; otherwise it stays as is.
double snap_to_stored(double converted, double bound, double offset, double scale)
{
    double whole = std::nearbyint(converted);
    double larger = std::max(std::fabs(bound), std::fabs(offset));
    double ulp = std::nextafter(larger, INFINITY) - larger;
    double tolerance = std::min(4.0 * ulp / std::fabs(scale), 1.0 / 16);
    return std::fabs(converted - whole) <= tolerance ? whole : converted;
}

// Coordinate bounds are given in real-world units; records store integers.
void convert_bounds(const LAS12Header &h, int16_t AttrID, double &lo, double &hi)
{
    double scale = 1.0, offset = 0.0;
    switch (AttrID) {
    case 1: scale = h.XScaleFactor; offset = h.XOffset; break;
    case 2: scale = h.YScaleFactor; offset = h.YOffset; break;
    case 3: scale = h.ZScaleFactor; offset = h.ZOffset; break;
    default: return;
    }
    lo = snap_to_stored((lo - offset) / scale, lo, offset, scale);
    hi = snap_to_stored((hi - offset) / scale, hi, offset, scale);
}

enum class Identity { different, same, input_unknown, output_unknown };

// Same file by identity, however the two names are spelled. Only an output
// that does not exist yet is known to differ; any other failure to examine
// either file leaves the question open, and the run is refused.
Identity file_identity(const char *in, const char *out)
{
    struct stat si, so;
    if (stat(in, &si) != 0)
        return Identity::input_unknown;
    if (stat(out, &so) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Identity::different : Identity::output_unknown;
    return si.st_dev == so.st_dev && si.st_ino == so.st_ino ? Identity::same : Identity::different;
}

// How a run ended, and so what becomes of the output file.
enum class Outcome {
    completed,       // the output is the result
    refused,         // stopped before the output was created
    output_kept,     // refused, the output kept on purpose (and said why)
    output_removed,  // failed or kept nothing: the output is no result
};

Outcome refuse_input(const Request *rq)
{
    printf("\nCannot open input LAS file %s for reading\n\n", rq->filenamein);
    usage();
    return Outcome::refused;
}

Outcome refuse_output(const Request *rq)
{
    printf("\nCannot open output LAS file %s for writing\n\n", rq->filenameout);
    usage();
    return Outcome::refused;
}

Outcome read_error(const Pass &ps)
{
    printf("\nError reading input LAS file %s\n\n", ps.rq->filenamein);
    return Outcome::output_removed;
}

Outcome write_error(const Pass &ps)
{
    printf("\nCannot write output LAS file %s\n\n", ps.rq->filenameout);
    return Outcome::output_removed;
}

// Reads the input's header block; refuses inputs whose header is cut short or
// whose point data would start inside it.
int16_t read_input_header(Pass &ps, LAS12Header &ph12)
{
    const char *in = ps.rq->filenamein;
    if (fread(&ph12, 1, sizeof ph12, ps.fin) != sizeof ph12) {
        if (ferror(ps.fin))
            printf("\nError reading input LAS file %s\n\n", in);
        else
            printf("\nFile %s is too short to hold a LAS header block\n\n", in);
        return -1;
    }
    if (ph12.OffsetToData < sizeof ph12) {
        printf("\nOffsetToData of %s (%u) lies inside its 227-byte header block\n\n", in,
               (unsigned)ph12.OffsetToData);
        return -1;
    }
    return 0;
}

// Copies the bytes between the header block and the point data (the
// variable-length records, the coordinate system among them). An input that
// ends early leaves the rest as zero bytes, as the final seek extends the file.
bool copy_header_gap(Pass &ps, uint32_t OffsetToData)
{
    size_t left = OffsetToData - sizeof(LAS12Header);
    while (left > 0) {
        size_t want = left < kBatchBytes ? left : kBatchBytes;
        size_t got = fread(ps.inbuf, 1, want, ps.fin);
        if (got && fwrite(ps.inbuf, 1, got, ps.fout) != got)
            return false;
        if (got < want)
            break;
        left -= got;
    }
    return true;
}

void print_record_summary(uint32_t claimed, uint32_t rec_cnt)
{
    printf("Input Records  : %9d\n", (int32_t)claimed);
    printf("Output Records : %9d\n", (int32_t)rec_cnt);
    if (claimed == 0)
        printf("%% Retained     : %12s\n\n", "n/a");  // no claimed count to divide by
    else
        printf("%% Retained     : %12.2f\n\n", (double)rec_cnt * 100.0 / (double)claimed);
}

// Opens the input and takes the record buffers.
Outcome open_input(Pass &ps)
{
    const Request *rq = ps.rq;
    switch (file_identity(rq->filenamein, rq->filenameout)) {
    case Identity::same:
        error_msg(3, rq->filenamein);
        usage();
        return Outcome::refused;
    case Identity::input_unknown: return refuse_input(rq);
    case Identity::output_unknown: return refuse_output(rq);
    case Identity::different: break;
    }
    ps.fin = fopen(rq->filenamein, "rb");
    if (!ps.fin)
        return refuse_input(rq);
    ps.inbuf = (unsigned char *)malloc(kBatchBytes);
    ps.outbuf = (unsigned char *)malloc(kBatchBytes);
    if (!ps.inbuf || !ps.outbuf) {
        printf("\nCannot allocate memory for records of %s\n\n", rq->filenamein);
        return Outcome::refused;
    }
    return Outcome::completed;
}

// A request for GPS time on a layout without it is refused after the header
// block is written; that header-only file stays, and says so by its size.
Outcome refuse_gps_time(Pass &ps)
{
    printf("\nInput file (%s) does not carry GPS Time Information (Attribute 13)\n\n",
           ps.rq->filenamein);
    int closed = fclose(ps.fout);
    ps.fout = nullptr;
    if (closed != 0)
        return write_error(ps);
    release_output();
    test_hold("gps");
    return Outcome::output_kept;
}

// Writes the header image, converts the bounds, refuses GPS time on layouts
// without it, copies the bytes up to the point data and scans the records.
Outcome copy_and_scan(Pass &ps, LASType kind, LAS12Header &ph12)
{
    const Request *rq = ps.rq;
    if (fwrite(&ph12, 1, sizeof ph12, ps.fout) != sizeof ph12)
        return write_error(ps);
    double lo = rq->AttrMin, hi = rq->AttrMax;
    convert_bounds(ph12, rq->AttrID, lo, hi);
    if (rq->AttrID == 13 && kind != 0 && !las_has_gps_time(kind))
        return refuse_gps_time(ps);
    if (!copy_header_gap(ps, ph12.OffsetToData))
        return ferror(ps.fin) ? read_error(ps) : write_error(ps);
    if (ferror(ps.fin) || fseek(ps.fin, (long)ph12.OffsetToData, SEEK_SET) != 0)
        return read_error(ps);
    if (fseek(ps.fout, (long)ph12.OffsetToData, SEEK_SET) != 0)
        return write_error(ps);
    switch (scan_records(ps, kind, lo, hi)) {
    case ScanResult::read_error: return read_error(ps);
    case ScanResult::write_error: return write_error(ps);
    case ScanResult::ok: break;
    }
    return Outcome::completed;
}

// Stores the kept count in the output header and closes the output.
Outcome finalise_output(Pass &ps, LAS12Header &ph12)
{
    ph12.NumberOfPointReturns = ps.rec_cnt;
    if (fseek(ps.fout, 0, SEEK_SET) != 0 || fwrite(&ph12, 1, sizeof ph12, ps.fout) != sizeof ph12)
        return write_error(ps);
    int closed = fclose(ps.fout);
    ps.fout = nullptr;
    return closed == 0 ? Outcome::completed : write_error(ps);
}

// Has the output's counts and extents recomputed. A name the update refuses
// (not ending in ".las") keeps the file, as the user is told why; any other
// failure leaves no result.
Outcome update_output_header(const char *filenameout)
{
    printf("... Updating Header ...%55s\r", "");
    switch (update_header_status(filenameout)) {
    case 0: return Outcome::completed;
    case UPDATE_NAME_REFUSED: release_output(); return Outcome::output_kept;
    default: return Outcome::output_removed;
    }
}

Outcome run_pass(Pass &ps)
{
    const Request *rq = ps.rq;
    LASType kind = check_las(rq->filenamein);
    if (kind < 0)
        return Outcome::refused;
    Outcome o = open_input(ps);
    if (o != Outcome::completed)
        return o;
    LAS12Header ph12;
    if (read_input_header(ps, ph12) < 0)
        return Outcome::refused;
    ps.fout = open_guarded_output(rq->filenameout);
    if (!ps.fout)
        return refuse_output(rq);
    if ((o = copy_and_scan(ps, kind, ph12)) != Outcome::completed)
        return o;
    print_record_summary(ph12.NumberOfPointReturns, ps.rec_cnt);
    if (ps.rec_cnt == 0) {
        puts("\nNo points retained\n");
        return Outcome::output_removed;
    }
    if ((o = finalise_output(ps, ph12)) != Outcome::completed)
        return o;
    fclose(ps.fin);
    ps.fin = nullptr;
    test_hold("update");
    if ((o = update_output_header(rq->filenameout)) != Outcome::completed)
        return o;
    release_output();
    test_hold("done");
    printf("\nCompleted in %.3f seconds\n", (double)(clock() - rq->cstart) / CLOCKS_PER_SEC);
    return Outcome::completed;
}

// The one place that closes, frees and removes, according to how the run ended.
int16_t finish(Pass &ps, Outcome o)
{
    if (ps.fin) fclose(ps.fin);
    if (ps.fout) fclose(ps.fout);  // only on a failure: its data are discarded
    free(ps.inbuf);
    free(ps.outbuf);
    if (o == Outcome::output_removed)
        remove_output(ps.rq->filenameout);
    return o == Outcome::completed ? 0 : -1;
}

}  // namespace

int16_t filter_pass(const Request *rq)
{
    install_interrupt_handlers();
    Pass ps;
    ps.rq = rq;
    return finish(ps, run_pass(ps));
}
