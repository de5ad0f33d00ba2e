/* Preloaded into the tool by a test: once QUORVANE_FAIL_AFTER bytes of the
 * file QUORVANE_FAIL_READ have been read, further reads of it fail as a
 * failing disk would, setting the stream's error indicator. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static long long consumed;

static int is_target(FILE *stream)
{
    const char *target = getenv("QUORVANE_FAIL_READ");
    char link[64], path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fileno(stream));
    ssize_t len = readlink(link, path, sizeof path - 1);
    if (!target || len <= 0)
        return 0;
    path[len] = '\0';
    return strcmp(path, target) == 0;
}

size_t fread(void *ptr, size_t size, size_t n, FILE *stream)
{
    size_t (*real_fread)(void *, size_t, size_t, FILE *) =
        (size_t (*)(void *, size_t, size_t, FILE *))dlsym(RTLD_NEXT, "fread");
    if (!is_target(stream))
        return real_fread(ptr, size, n, stream);
    if (consumed >= atoll(getenv("QUORVANE_FAIL_AFTER"))) {
        /* Read from a closed descriptor: the stream records a read error. */
        int fd = fileno(stream), saved = dup(fd);
        close(fd);
        size_t got = real_fread(ptr, size, n, stream);
        dup2(saved, fd);
        close(saved);
        return got;
    }
    size_t got = real_fread(ptr, size, n, stream);
    consumed += (long long)(got * size);
    return got;
}
