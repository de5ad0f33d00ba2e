// The ring of kept records: gathering, and writes that end where the system
// writes fastest.
#include "scan/ring.h"

#include "internal/platform.h"

#include <algorithm>
#include <cstring>

namespace {

unsigned char *ring_end(const Ring &r)
{
    return r.area + kRingBytes;
}

// Writes `bytes` from `from` at the output's position, which is `written`.
bool write_out(Ring &r, const unsigned char *from, size_t bytes)
{
    if (bytes && file_write(from, bytes, r.fout) != bytes)
        return false;
    r.written += bytes;
    return true;
}

// Whether a batch read from input offset `batch_pos` can be written straight
// from the input area at output offset `lands`: where its bytes lie a little
// behind their place in the output file, within a block, the system's copy
// runs several times slower than a copy here.
bool writes_in_step(uint64_t lands, uint64_t batch_pos)
{
    const uint64_t skew = (lands - batch_pos) % kBlockBytes;
    return skew == 0 || skew >= 64;
}

// Writes a batch kept whole that lies in step (see the ring's description).
bool write_batch(Ring &r, const unsigned char *batch, size_t bytes)
{
    const size_t fill = std::min(bytes, (size_t)((kWriteAlign - r.gathered % kWriteAlign) % kWriteAlign));
    if (!ring_gather(r, batch, fill))
        return false;
    if (fill == bytes)
        return true;
    if (!ring_write(r))  // all that was gathered, ending on a multiple of kWriteAlign
        return false;
    const size_t left = bytes - fill, keep = (size_t)((r.written + left) % kWriteAlign);
    if (!write_out(r, batch + fill, left - keep))
        return false;
    r.gathered = r.written;
    return ring_gather(r, batch + bytes - keep, keep);
}

}  // namespace

void ring_start(Ring &r, uint64_t pos)
{
    r.written = r.gathered = pos;
}

bool ring_write(Ring &r)
{
    unsigned char *const start = r.area + r.written % kRingBytes, *const to = ring_tail(r);
    unsigned char *const upto = std::min(to, ring_end(r));
    if (!write_out(r, start, (size_t)(upto - start)))
        return false;
    // What ran past the end belongs at the ring's start, far below its end.
    memcpy(r.area + r.written % kRingBytes, upto, (size_t)(to - upto));
    return true;
}

bool ring_gather(Ring &r, const unsigned char *from, size_t bytes)
{
    while (bytes > 0) {
        unsigned char *const tail = ring_tail(r);
        const size_t n = std::min(bytes, (size_t)(ring_end(r) - tail));
        memcpy(tail, from, n);
        r.gathered += n;
        from += n;
        bytes -= n;
        if (tail + n == ring_end(r) && !ring_write(r))
            return false;
    }
    return true;
}

bool ring_take_batch(Ring &r, const unsigned char *batch, size_t bytes, uint64_t batch_pos)
{
    return writes_in_step(r.gathered, batch_pos) ? write_batch(r, batch, bytes) : ring_gather(r, batch, bytes);
}
