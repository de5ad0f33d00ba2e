// Shared by the fuzz targets: quiet standard output and a scratch folder.
#ifndef FUZZ_COMMON_H
#define FUZZ_COMMON_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

// The routines print their messages; the fuzzer's own report goes to stderr.
inline void silence_stdout()
{
    static bool done = false;
    if (!done && !freopen("/dev/null", "w", stdout))
        abort();
    done = true;
}

// A scratch folder of this process, made once.
inline const std::string &scratch_dir()
{
    static std::string dir = [] {
        char name[] = "/tmp/quorvane_fuzz_XXXXXX";
        if (!mkdtemp(name))
            abort();
        return std::string(name);
    }();
    return dir;
}

inline bool write_bytes(const std::string &path, const uint8_t *data, size_t size)
{
    FILE *fp = fopen(path.c_str(), "wb");
    if (!fp)
        return false;
    bool ok = fwrite(data, 1, size, fp) == size;
    return fclose(fp) == 0 && ok;
}

#endif
