// Whole reads of the header block and of batches of point records.
#include "internal/record_batches.h"

bool read_header_block(FILE *fp, LAS12Header *ph)
{
    return fread(ph, 1, sizeof *ph, fp) == sizeof *ph;
}

void header_too_short(const char *filename)
{
    printf("\nFile %s is too short to hold a LAS header block\n\n", filename);
}

size_t read_record_batch(FILE *fp, unsigned char *buf, size_t reclen, bool *more)
{
    const size_t batch = kBatchRecords * reclen;
    const size_t got = fread(buf, 1, batch, fp);
    *more = got == batch;
    return got / reclen;
}
