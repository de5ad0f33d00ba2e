// Whole reads of the header block and of batches of point records.
#include "internal/record_batches.h"

#include "internal/platform.h"

bool read_header_block(FILE *fp, LAS12Header *ph)
{
    return file_read(ph, sizeof *ph, fp) == sizeof *ph;
}

void header_too_short(const char *filename)
{
    printf("\nFile %s is too short to hold a LAS header block\n\n", filename);
}

size_t read_record_batch(FILE *fp, unsigned char *buf, size_t reclen, bool *more)
{
    const size_t batch = kBatchRecords * reclen;
    const size_t got = file_read(buf, batch, fp);
    *more = got == batch;
    return got / reclen;
}
