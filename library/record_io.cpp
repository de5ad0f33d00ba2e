// Batched reading of whole point records.
#include "record_io.h"

#include <cstdlib>
#include <sys/stat.h>
#ifdef _WIN32
#include <malloc.h>
#endif

uint64_t file_size(FILE *fp)
{
#ifdef _WIN32
    struct _stat64 st;
    return _fstat64(_fileno(fp), &st) == 0 ? (uint64_t)st.st_size : 0;
#else
    struct stat st;
    return fstat(fileno(fp), &st) == 0 ? (uint64_t)st.st_size : 0;
#endif
}

unsigned char *alloc_blocks(size_t bytes)
{
    size_t size = (bytes / kBlockBytes + 2) * kBlockBytes;
#ifdef _WIN32
    return (unsigned char *)_aligned_malloc(size, kBlockBytes);
#else
    void *area = nullptr;
    return posix_memalign(&area, kBlockBytes, size) == 0 ? (unsigned char *)area : nullptr;
#endif
}

void free_blocks(unsigned char *area)
{
#ifdef _WIN32
    _aligned_free(area);
#else
    free(area);
#endif
}

size_t read_record_batch(FILE *fp, unsigned char *buf, size_t reclen, bool *more)
{
    const size_t batch = kBatchRecords * reclen;
    size_t got = fread(buf, 1, batch, fp);
    *more = got == batch;
    return got / reclen;
}
