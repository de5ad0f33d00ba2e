// Batched reading of whole point records.
#include "record_batches.h"

size_t read_record_batch(FILE *fp, unsigned char *buf, size_t reclen, bool *more)
{
    const size_t batch = kBatchRecords * reclen;
    const size_t got = fread(buf, 1, batch, fp);
    *more = got == batch;
    return got / reclen;
}
