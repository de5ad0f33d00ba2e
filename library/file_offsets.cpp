// 64-bit seeks and sizes, and the header block read.
#include "file_offsets.h"

#include <sys/stat.h>

int seek_to(FILE *fp, uint64_t offset)
{
#ifdef _WIN32
    return _fseeki64(fp, (long long)offset, SEEK_SET);
#else
    return fseeko(fp, (off_t)offset, SEEK_SET);
#endif
}

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

int16_t read_header_block(FILE *fp, const char *filename, const char *read_error, LAS12Header *ph)
{
    if (fread(ph, 1, sizeof *ph, fp) == sizeof *ph)
        return 0;
    if (ferror(fp))
        printf(read_error, filename);
    else
        printf("\nFile %s is too short to hold a LAS header block\n\n", filename);
    return -1;
}
