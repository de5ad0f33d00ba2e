/* Preloaded into the tool by the fault tests: makes one kind of file call on
 * one file fail, as a failing disk or file system would.
 *   QUORVANE_FAULT       which call fails (see the table below)
 *   QUORVANE_FAULT_PATH  the file, matched as a suffix of its full path
 *   QUORVANE_FAULT_AFTER for "read": bytes read successfully first
 * Streams opened for update ("r+b", the header update) are the ones the
 * "update_*" faults hit. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#define REAL(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

static FILE *update_stream;
static long long consumed;

static int fault_is(const char *name)
{
    const char *f = getenv("QUORVANE_FAULT");
    return f && strcmp(f, name) == 0;
}

static int is_target_path(const char *path)
{
    const char *t = getenv("QUORVANE_FAULT_PATH");
    size_t lp = strlen(path), lt = t ? strlen(t) : 0;
    return t && lp >= lt && strcmp(path + lp - lt, t) == 0;
}

static int is_target_stream(FILE *stream)
{
    char link[64], path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fileno(stream));
    ssize_t len = readlink(link, path, sizeof path - 1);
    if (len <= 0)
        return 0;
    path[len] = '\0';
    return is_target_path(path);
}

static int fail(void)
{
    errno = EIO;
    return -1;
}

FILE *fopen(const char *path, const char *mode)
{
    if (is_target_path(path) &&
        ((fault_is("update_open") && strcmp(mode, "r+b") == 0) ||
         (fault_is("binary_open") && strcmp(mode, "rb") == 0) ||
         (fault_is("probe_open") && strcmp(mode, "r") == 0))) {
        errno = EACCES;
        return NULL;
    }
    FILE *fp = REAL(fopen)(path, mode);
    if (fp && strcmp(mode, "r+b") == 0 && is_target_path(path))
        update_stream = fp;
    return fp;
}

size_t fread(void *ptr, size_t size, size_t n, FILE *stream)
{
    if ((fault_is("update_read") && stream == update_stream) ||
        (fault_is("read") && is_target_stream(stream) &&
         consumed >= atoll(getenv("QUORVANE_FAULT_AFTER")))) {
        /* Read from a closed descriptor: the stream records a read error. */
        int fd = fileno(stream), saved = dup(fd);
        close(fd);
        size_t got = REAL(fread)(ptr, size, n, stream);
        dup2(saved, fd);
        close(saved);
        return got;
    }
    size_t got = REAL(fread)(ptr, size, n, stream);
    if (fault_is("read") && is_target_stream(stream))
        consumed += (long long)(got * size);
    return got;
}

size_t fwrite(const void *ptr, size_t size, size_t n, FILE *stream)
{
    if (fault_is("update_write") && stream == update_stream) {
        errno = ENOSPC;
        return 0;
    }
    return REAL(fwrite)(ptr, size, n, stream);
}

int fseeko(FILE *stream, off_t offset, int whence)
{
    if (fault_is("update_seek") && stream == update_stream)
        return fail();
    return REAL(fseeko)(stream, offset, whence);
}

int fflush(FILE *stream)
{
    if (fault_is("update_flush") && stream && stream == update_stream)
        return fail();
    return REAL(fflush)(stream);
}

int fclose(FILE *stream)
{
    if (stream == update_stream) {
        update_stream = NULL;
        if (fault_is("update_close")) {
            REAL(fclose)(stream);
            return fail();
        }
    }
    return REAL(fclose)(stream);
}

int stat(const char *path, struct stat *st)
{
    if (fault_is("stat") && is_target_path(path))
        return fail();
    return REAL(stat)(path, st);
}

int lstat(const char *path, struct stat *st)
{
    if (fault_is("lstat") && is_target_path(path))
        return fail();
    return REAL(lstat)(path, st);
}

int unlink(const char *path)
{
    if (fault_is("unlink") && is_target_path(path)) {
        errno = EACCES;
        return -1;
    }
    return REAL(unlink)(path);
}
