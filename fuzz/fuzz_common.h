// Shared by the fuzz targets: quiet standard output and a scratch folder.
#ifndef FUZZ_COMMON_H
#define FUZZ_COMMON_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include "run_tool.h"

// The routines print their messages; the fuzzer's own report goes to stderr.
inline void silence_stdout()
{
    static bool done = false;
    if (!done && !freopen("/dev/null", "w", stdout))
        abort();
    done = true;
}

// A scratch folder of this process, made once and removed at its end.
inline const std::string &scratch_dir()
{
    static TempDir dir;
    return dir.path;
}

#endif
