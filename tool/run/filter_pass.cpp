// The filter pass's file handling: open the input and the output, copy the
// header block and the bytes up to the point data, let the scan kernel copy
// the kept records, report, and finalise or discard the output.
#include "run/filter_pass.h"

#include "cli/request.h"
#include "internal/block_areas.h"
#include "internal/platform.h"
#include "internal/record_batches.h"
#include "internal/status_routines.h"
#include "platform/output_guard.h"
#include "run/progress.h"
#include "run/seam.h"
#include "scan/scan.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The run's streams and areas, the count it kept and the kernel level its
// scan and header rescan work at.
struct Pass {
    const Request *rq;
    KernelLevel level;
    FILE *fin = nullptr;
    FILE *fout = nullptr;
    unsigned char *in_area = nullptr;    // alloc_blocks(kScanBatchBytes)
    unsigned char *ring_area = nullptr;  // alloc_blocks(kRingAreaBytes)
    uint32_t rec_cnt = 0;
};

// What a step of the run leaves: go on to the next, or the run ends, and so
// what becomes of the output file.
enum class Step {
    go_on,
    completed,       // the output is the result
    refused,         // stopped before the output was created
    output_kept,     // refused, the output kept on purpose (and said why)
    output_removed,  // failed or kept nothing: the output is no result
};

Step refuse_input(const Request *rq)
{
    printf("\nCannot open input LAS file %s for reading\n\n", rq->filenamein);
    usage();
    return Step::refused;
}

Step refuse_output(const Request *rq)
{
    printf("\nCannot open output LAS file %s for writing\n\n", rq->filenameout);
    usage();
    return Step::refused;
}

Step read_error(const Pass &ps)
{
    printf("\nError reading input LAS file %s\n\n", ps.rq->filenamein);
    return Step::output_removed;
}

Step write_error(const Pass &ps)
{
    printf("\nCannot write output LAS file %s\n\n", ps.rq->filenameout);
    return Step::output_removed;
}

// Reads the input's header block; refuses inputs whose header is cut short or
// whose point data would start inside it.
Step read_input_header(Pass &ps, LAS12Header &ph12)
{
    const char *in = ps.rq->filenamein;
    if (!read_header_block(ps.fin, &ph12)) {
        if (file_error(ps.fin))
            printf("\nError reading input LAS file %s\n\n", in);
        else
            header_too_short(in);
        return Step::refused;
    }
    if (ph12.OffsetToData < sizeof ph12) {
        printf("\nOffsetToData of %s (%u) lies inside its 227-byte header block\n\n", in,
               (unsigned)ph12.OffsetToData);
        return Step::refused;
    }
    return Step::go_on;
}

// Copies the bytes between the header block and the point data (the
// variable-length records, the coordinate system among them). An input that
// ends early leaves the rest as zero bytes, as the final seek extends the file.
bool copy_header_gap(Pass &ps, uint32_t OffsetToData)
{
    size_t left = OffsetToData - sizeof(LAS12Header);
    while (left > 0) {
        size_t want = left < kScanBatchBytes ? left : kScanBatchBytes;
        size_t got = file_read(ps.in_area, want, ps.fin);
        if (got && file_write(ps.in_area, got, ps.fout) != got)
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

// Opens the input and takes the record areas.
Step open_input(Pass &ps)
{
    const Request *rq = ps.rq;
    switch (file_identity(rq->filenamein, rq->filenameout)) {
    case Identity::same:
        error_msg(3, rq->filenamein);
        usage();
        return Step::refused;
    case Identity::input_unknown: return refuse_input(rq);
    case Identity::output_unknown: return refuse_output(rq);
    case Identity::different: break;
    }
    ps.fin = file_open(rq->filenamein, "rb");
    if (!ps.fin)
        return refuse_input(rq);
    stream_whole_batches(ps.fin);
    ps.in_area = alloc_blocks(kScanBatchBytes);
    ps.ring_area = alloc_blocks(kRingAreaBytes);
    if (!ps.in_area || !ps.ring_area) {
        printf("\nCannot allocate memory for records of %s\n\n", rq->filenamein);
        return Step::refused;
    }
    return Step::go_on;
}

Step open_output(Pass &ps)
{
    ps.fout = open_guarded_output(ps.rq->filenameout);
    if (!ps.fout)
        return refuse_output(ps.rq);
    stream_whole_batches(ps.fout);
    return Step::go_on;
}

// A request for GPS time on a layout without it is refused after the header
// block is written; that header-only file stays, and says so by its size.
Step refuse_gps_time(Pass &ps)
{
    printf("\nInput file (%s) does not carry GPS Time Information (Attribute 13)\n\n", ps.rq->filenamein);
    int closed = file_close(ps.fout);
    ps.fout = nullptr;
    if (closed != 0)
        return write_error(ps);
    release_output();
    hold_point("gps");
    return Step::output_kept;
}

// After each batch of the scan: its progress, and a point a test may hold at.
void after_batch(uint64_t in_pos)
{
    progress_update(in_pos);
    hold_point("scan");
}

// Streams the kept records with the layout's and attribute's loop; a file
// without a record layout has no records to scan.
Step scan_point_data(Pass &ps, ScanLoop loop, const LAS12Header &ph12, double lo, double hi)
{
    if (!loop)
        return Step::go_on;
    const ScanFiles files = {ps.fin, ps.in_area, ps.fout, ps.ring_area, ph12.OffsetToData, after_batch};
    progress_start(ph12.OffsetToData, file_size(ps.fin));
    const ScanResult scanned = loop(files, ps.level, lo, hi, &ps.rec_cnt);
    progress_erase();
    switch (scanned) {
    case ScanResult::read_error: return read_error(ps);
    case ScanResult::write_error: return write_error(ps);
    case ScanResult::ok: break;
    }
    return Step::go_on;
}

// Writes the header image, converts the bounds, refuses GPS time on layouts
// without it, copies the bytes up to the point data and scans the records.
Step copy_and_scan(Pass &ps, LASType kind, LAS12Header &ph12)
{
    const Request *rq = ps.rq;
    if (file_write(&ph12, sizeof ph12, ps.fout) != sizeof ph12)
        return write_error(ps);
    double lo = rq->AttrMin, hi = rq->AttrMax;
    convert_bounds(ph12, rq->AttrID, lo, hi);
    const ScanLoop loop = scan_loop_for(kind, rq->AttrID);
    if (las_record_length(kind) != 0 && !loop)
        return refuse_gps_time(ps);  // the one field some layouts lack
    if (!copy_header_gap(ps, ph12.OffsetToData))
        return file_error(ps.fin) ? read_error(ps) : write_error(ps);
    if (file_error(ps.fin) || seek_to(ps.fin, ph12.OffsetToData) != 0)
        return read_error(ps);
    if (seek_to(ps.fout, ph12.OffsetToData) != 0)
        return write_error(ps);
    return scan_point_data(ps, loop, ph12, lo, hi);
}

// Stores the kept count in the output header and closes the output. A write
// that failed unseen leaves the stream in error, which the close need not
// report (glibc's does not): both are asked.
Step finalise_output(Pass &ps, LAS12Header &ph12)
{
    ph12.NumberOfPointReturns = ps.rec_cnt;
    if (seek_to(ps.fout, 0) != 0 || file_write(&ph12, sizeof ph12, ps.fout) != sizeof ph12)
        return write_error(ps);
    const bool failed = file_error(ps.fout);
    const int closed = file_close(ps.fout);
    ps.fout = nullptr;
    return closed == 0 && !failed ? Step::go_on : write_error(ps);
}

// Has the output's counts and extents recomputed, in the input's area, whose
// pages the scan has already brought in. A name the update refuses (not
// ending in ".las") keeps the file, as the user is told why; any other failure
// leaves no result.
Step update_output_header(Pass &ps)
{
    printf("... Updating Header ...%55s\r", "");
    fflush(stdout);  // no newline: a log shows where an interrupted run was
    hold_point("update");
    switch (update_header_in(ps.rq->filenameout, ps.in_area, area_bytes(kScanBatchBytes), ps.level)) {
    case 0: return Step::go_on;
    case UPDATE_NAME_REFUSED: release_output(); return Step::output_kept;
    default: return Step::output_removed;
    }
}

// The result is complete: interrupts no longer remove it.
Step complete(const Pass &ps)
{
    release_output();
    hold_point("done");
    printf("\nCompleted in %.3f seconds\n", (double)(clock() - ps.rq->cstart) / CLOCKS_PER_SEC);
    return Step::completed;
}

Step run_pass(Pass &ps)
{
    LASType kind = check_las(ps.rq->filenamein);
    if (kind < 0)
        return Step::refused;
    LAS12Header ph12;
    Step s;
    if ((s = open_input(ps)) != Step::go_on || (s = read_input_header(ps, ph12)) != Step::go_on ||
        (s = open_output(ps)) != Step::go_on || (s = copy_and_scan(ps, kind, ph12)) != Step::go_on)
        return s;
    print_record_summary(ph12.NumberOfPointReturns, ps.rec_cnt);
    if (ps.rec_cnt == 0) {
        puts("\nNo points retained\n");
        return Step::output_removed;
    }
    if ((s = finalise_output(ps, ph12)) != Step::go_on)
        return s;
    file_close(ps.fin);
    ps.fin = nullptr;
    if ((s = update_output_header(ps)) != Step::go_on)
        return s;
    return complete(ps);
}

// Closes what the run left open (a failed run's output, whose data are
// discarded), frees the areas and removes the output when the run's ending
// says so.
int16_t finish(Pass &ps, Step end)
{
    if (ps.fin) file_close(ps.fin);
    if (ps.fout) file_close(ps.fout);
    free_blocks(ps.in_area);
    free_blocks(ps.ring_area);
    if (end == Step::output_removed)
        remove_output(ps.rq->filenameout);
    return end == Step::completed ? 0 : -1;
}

}  // namespace

int16_t filter_pass(const Request *rq)
{
    install_interrupt_handlers();
    Pass ps;
    ps.rq = rq;
    ps.level = kernel_level_in_force();
    return finish(ps, run_pass(ps));
}
