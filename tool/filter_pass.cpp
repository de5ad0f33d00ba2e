// The filter pass's file handling: open the input and the output, copy the
// header block and the bytes up to the point data, let the scan kernel copy
// the kept records, report, and finalise or discard the output.
#include "filter_pass.h"

#include "block_areas.h"
#include "bounds.h"
#include "file_offsets.h"
#include "output_guard.h"
#include "progress.h"
#include "record_batches.h"
#include "request.h"
#include "scan_kernel.h"
#include "status_routines.h"
#include "test_seam.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Streams, buffers and count owned by one run, and the kernel level its
// scan and header rescan run at.
struct Pass {
    const Request *rq;
    KernelLevel level;
    ScanStreams ss;
};

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
    if (read_header_block(ps.ss.fin, in, "\nError reading input LAS file %s\n\n", &ph12) < 0)
        return -1;
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
        size_t want = left < kScanBatchBytes ? left : kScanBatchBytes;
        size_t got = fread(ps.ss.in_area, 1, want, ps.ss.fin);
        if (got && fwrite(ps.ss.in_area, 1, got, ps.ss.out.fout) != got)
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
    ps.ss.fin = fopen(rq->filenamein, "rb");
    if (!ps.ss.fin)
        return refuse_input(rq);
    stream_whole_batches(ps.ss.fin);
    ps.ss.in_area = alloc_blocks(kScanBatchBytes);
    ps.ss.out.area = alloc_blocks(kRingAreaBytes);
    if (!ps.ss.in_area || !ps.ss.out.area) {
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
    int closed = fclose(ps.ss.out.fout);
    ps.ss.out.fout = nullptr;
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
    if (fwrite(&ph12, 1, sizeof ph12, ps.ss.out.fout) != sizeof ph12)
        return write_error(ps);
    double lo = rq->AttrMin, hi = rq->AttrMax;
    convert_bounds(ph12, rq->AttrID, lo, hi);
    if (las_record_length(kind) != 0 && !layout_carries(kind, rq->AttrID))
        return refuse_gps_time(ps);  // the one field some layouts lack
    if (!copy_header_gap(ps, ph12.OffsetToData))
        return ferror(ps.ss.fin) ? read_error(ps) : write_error(ps);
    if (ferror(ps.ss.fin) || seek_to(ps.ss.fin, ph12.OffsetToData) != 0)
        return read_error(ps);
    if (seek_to(ps.ss.out.fout, ph12.OffsetToData) != 0)
        return write_error(ps);
    ps.ss.in_pos = ph12.OffsetToData;
    ring_start(ps.ss.out, ph12.OffsetToData);
    progress_start(ph12.OffsetToData, file_size(ps.ss.fin));
    ScanResult scanned = scan_records(ps.ss, ps.level, kind, rq->AttrID, lo, hi);
    progress_erase();
    switch (scanned) {
    case ScanResult::read_error: return read_error(ps);
    case ScanResult::write_error: return write_error(ps);
    case ScanResult::ok: break;
    }
    return Outcome::completed;
}

// Stores the kept count in the output header and closes the output.
Outcome finalise_output(Pass &ps, LAS12Header &ph12)
{
    ph12.NumberOfPointReturns = ps.ss.rec_cnt;
    if (seek_to(ps.ss.out.fout, 0) != 0 || fwrite(&ph12, 1, sizeof ph12, ps.ss.out.fout) != sizeof ph12)
        return write_error(ps);
    int closed = fclose(ps.ss.out.fout);
    ps.ss.out.fout = nullptr;
    return closed == 0 ? Outcome::completed : write_error(ps);
}

// Has the output's counts and extents recomputed, in the input's area, whose
// pages the scan has already brought in. A name the update refuses (not
// ending in ".las") keeps the file, as the user is told why; any other failure
// leaves no result.
Outcome update_output_header(Pass &ps)
{
    printf("... Updating Header ...%55s\r", "");
    fflush(stdout);  // no newline: a log shows where an interrupted run was
    test_hold("update");
    switch (update_header_in(ps.rq->filenameout, ps.ss.in_area, area_bytes(kScanBatchBytes), ps.level)) {
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
    ps.ss.out.fout = open_guarded_output(rq->filenameout);
    if (!ps.ss.out.fout)
        return refuse_output(rq);
    stream_whole_batches(ps.ss.out.fout);
    if ((o = copy_and_scan(ps, kind, ph12)) != Outcome::completed)
        return o;
    print_record_summary(ph12.NumberOfPointReturns, ps.ss.rec_cnt);
    if (ps.ss.rec_cnt == 0) {
        puts("\nNo points retained\n");
        return Outcome::output_removed;
    }
    if ((o = finalise_output(ps, ph12)) != Outcome::completed)
        return o;
    fclose(ps.ss.fin);
    ps.ss.fin = nullptr;
    if ((o = update_output_header(ps)) != Outcome::completed)
        return o;
    release_output();
    test_hold("done");
    printf("\nCompleted in %.3f seconds\n", (double)(clock() - rq->cstart) / CLOCKS_PER_SEC);
    return Outcome::completed;
}

// Closes what the run left open (a failed run's output, whose data are
// discarded), frees the areas and removes the output when the run's ending
// says so.
int16_t finish(Pass &ps, Outcome o)
{
    if (ps.ss.fin) fclose(ps.ss.fin);
    if (ps.ss.out.fout) fclose(ps.ss.out.fout);
    free_blocks(ps.ss.in_area);
    free_blocks(ps.ss.out.area);
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
    ps.level = test_kernel_level();
    return finish(ps, run_pass(ps));
}
