// The output file on a POSIX system: its identity against the input, its
// creation, and its removal by a failure or an interrupt.
#include "platform/output_guard.h"

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

// Only regular files are ever removed; `lstat` so a link is not followed.
bool is_regular_file(const char *path, int *err)
{
    struct stat st;
    if (lstat(path, &st) != 0) {
        *err = errno;
        return false;
    }
    *err = 0;
    return S_ISREG(st.st_mode);
}

// Async-signal-safe: lstat, unlink, sigaction and raise only.
extern "C" void on_interrupt(int sig)
{
    if (guard_armed) {
        int err;
        if (is_regular_file(guarded_path, &err))
            unlink(guarded_path);
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
    if (stat(in, &si) != 0)
        return Identity::input_unknown;
    if (stat(out, &so) != 0)
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
    FILE *fp = fopen(filenameout, "w+b");
    if (fp) {
        // Through a symbolic link the data go to the file it names.
        if (!realpath(filenameout, guarded_path)) {
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
    if (removable && unlink(guarded_path) != 0)
        err = errno;
    guard_armed = 0;
    if (err == 0 || err == ENOENT)
        return 0;  // removed, already gone, or not a regular file
    printf("\nCannot remove output LAS file %s\n\n", filenameout);
    return -1;
}
