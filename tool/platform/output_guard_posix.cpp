// The output file on a POSIX system: its identity against the input, its
// creation, and its removal by a failure or an interrupt.
#include "platform/output_guard.h"

#include "internal/faults.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};

// Captured before the handler can see it: the file the data go to.
char guarded_path[PATH_MAX];
volatile sig_atomic_t guard_armed = 0;

// The guard's file calls, each of which the test build can make fail
// (internal/faults.h).
int file_status(const char *path, struct stat *st)
{
    return fault_at_path(FileCall::identity, path) ? -1 : stat(path, st);
}

int link_status(const char *path, struct stat *st)
{
    return fault_at_path(FileCall::examine, path) ? -1 : lstat(path, st);
}

int remove_file(const char *path)
{
    return fault_at_path(FileCall::remove, path) ? -1 : unlink(path);
}

char *full_path(const char *path, char *resolved)
{
    return fault_at_path(FileCall::resolve, path) ? nullptr : realpath(path, resolved);
}

FILE *create_file(const char *path)
{
    if (fault_at_path(FileCall::create, path))
        return nullptr;
    FILE *fp = fopen(path, "w+b");
    fault_opened(fp, path);
    return fp;
}

// Only regular files are ever removed; `lstat` so a link is not followed.
bool is_regular_file(const char *path, int *err)
{
    struct stat st;
    if (link_status(path, &st) != 0) {
        *err = errno;
        return false;
    }
    *err = 0;
    return S_ISREG(st.st_mode);
}

// Async-signal-safe: lstat, unlink, sigaction and raise only (and, in the
// test build, the fault table, which neither locks nor allocates).
extern "C" void on_interrupt(int sig)
{
    if (guard_armed) {
        int err;
        if (is_regular_file(guarded_path, &err))
            remove_file(guarded_path);
    }
    struct sigaction dfl;
    memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    sigaction(sig, &dfl, nullptr);
    raise(sig);  // delivered when the handler returns: the process ends by it
}

void block_interrupts(int how, sigset_t *old)
{
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kInterrupts)
        sigaddset(&set, sig);
    sigprocmask(how, &set, old);
}

}  // namespace

Identity file_identity(const char *in, const char *out)
{
    struct stat si, so;
    if (file_status(in, &si) != 0)
        return Identity::input_unknown;
    if (file_status(out, &so) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Identity::different : Identity::output_unknown;
    return si.st_dev == so.st_dev && si.st_ino == so.st_ino ? Identity::same : Identity::different;
}

void install_interrupt_handlers(void)
{
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_interrupt;
    sigemptyset(&sa.sa_mask);
    for (int sig : kInterrupts)
        sigaddset(&sa.sa_mask, sig);
    for (int sig : kInterrupts) {
        struct sigaction old;
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;  // nohup and background jobs keep their choice
        sigaction(sig, &sa, nullptr);
    }
}

FILE *open_guarded_output(const char *filenameout)
{
    // No interrupt between creating the file and knowing what to remove.
    sigset_t old;
    block_interrupts(SIG_BLOCK, &old);
    FILE *fp = create_file(filenameout);
    if (fp) {
        // Through a symbolic link the data go to the file it names.
        if (!full_path(filenameout, guarded_path)) {
            strncpy(guarded_path, filenameout, sizeof guarded_path - 1);
            guarded_path[sizeof guarded_path - 1] = '\0';
        }
        guard_armed = 1;
    }
    sigprocmask(SIG_SETMASK, &old, nullptr);
    return fp;
}

void release_output(void)
{
    guard_armed = 0;
}

int16_t remove_output(const char *filenameout)
{
    if (!guard_armed)
        return 0;  // never created by this run
    int err;
    bool removable = is_regular_file(guarded_path, &err);
    if (removable && remove_file(guarded_path) != 0)
        err = errno;
    guard_armed = 0;
    if (err == 0 || err == ENOENT)
        return 0;  // removed, already gone, or not a regular file
    printf("\nCannot remove output LAS file %s\n\n", filenameout);
    return -1;
}
