// Test builds only: the table of the one file call that fails
// (internal/faults.h), from the environment, read at the first file call.
// It neither locks nor allocates: the POSIX interrupt handler's calls ask it.
#include "internal/faults.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// FileCall's names, in its order.
const char *const kCallNames[] = {"open", "create", "read", "write", "flush", "close", "seek",
                                  "size", "identity", "identity_open", "examine", "remove", "resolve"};
static_assert(sizeof kCallNames / sizeof *kCallNames == (size_t)FileCall::resolve + 1,
              "a name for every file call");

// An open stream of the file, and which of its openings it is.
struct Opened {
    FILE *fp;
    long opening;
    bool failed;  // a read, write or flush on it failed
};

struct Table {
    bool loaded = false;
    int call = -1;          // the FileCall that fails; -1: none
    const char *path = "";  // the end of the file's name
    long at = 1;            // which such call on the file fails
    long opening = 0;       // for calls on a stream: of this opening (0: any)
    long seen = 0;          // such calls counted so far
    long openings = 0;      // the file's openings so far
    Opened open[8] = {};    // the file's open streams (a run opens two files)
};

Table table;

void load(void)
{
    if (table.loaded)
        return;
    table.loaded = true;
    const char *call = getenv("QUORVANE_FAULT"), *path = getenv("QUORVANE_FAULT_PATH");
    const char *at = getenv("QUORVANE_FAULT_AT"), *opening = getenv("QUORVANE_FAULT_OPENING");
    for (size_t k = 0; call && k < sizeof kCallNames / sizeof *kCallNames; k++)
        if (strcmp(call, kCallNames[k]) == 0)
            table.call = (int)k;
    table.path = path ? path : "";
    table.at = at ? atol(at) : 1;
    table.opening = opening ? atol(opening) : 0;
}

bool names_the_file(const char *path)
{
    const size_t n = strlen(path), end = strlen(table.path);
    return n >= end && strcmp(path + n - end, table.path) == 0;
}

// Counts a call of the failing kind on the file; true for the one that fails.
bool counted_call_fails(FileCall call)
{
    if ((int)call != table.call || ++table.seen != table.at)
        return false;
    errno = EIO;
    return true;
}

Opened *opened(FILE *fp)
{
    for (Opened &o : table.open)
        if (o.fp && o.fp == fp)
            return &o;
    return nullptr;
}

}  // namespace

bool fault_at_path(FileCall call, const char *path)
{
    load();
    return names_the_file(path) && counted_call_fails(call);
}

void fault_opened(FILE *fp, const char *path)
{
    load();
    if (!fp || !names_the_file(path))
        return;
    for (Opened &o : table.open)
        if (!o.fp) {
            o = Opened{fp, ++table.openings, false};
            return;
        }
}

bool fault_at_stream(FileCall call, FILE *fp)
{
    load();
    Opened *o = opened(fp);
    if (!o)
        return false;
    const bool fails = (table.opening == 0 || o->opening == table.opening) && counted_call_fails(call);
    // The C library's stream keeps the mark of a failed transfer; a failed
    // seek leaves none.
    if (fails && (call == FileCall::read || call == FileCall::write || call == FileCall::flush))
        o->failed = true;
    if (call == FileCall::close)
        o->fp = nullptr;  // closed, whatever the close returns
    return fails;
}

bool fault_left_error(FILE *fp)
{
    const Opened *o = opened(fp);
    return o && o->failed;
}
