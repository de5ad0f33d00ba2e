// The output file on Windows: its identity against the input, its creation,
// and its removal by a failure or a console control event (Ctrl-C,
// Ctrl-Break, closing the console), which Windows delivers to a handler on a
// thread of its own while the main thread goes on.
#include "platform/output_guard.h"

#include "internal/faults.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace {

// Orders the handler's thread against the main thread's creation, release
// and removal of the output.
SRWLOCK guard_lock = SRWLOCK_INIT;
// The file the data go to, as a full path; empty for a device (NUL, CON).
char guarded_path[32768];
bool guard_armed = false;
// A console event came while the output could not be removed.
bool event_pending = false;

// The guard's file calls, each of which the test build can make fail
// (internal/faults.h) as Windows would, refusing access.
bool injected(FileCall call, const char *name)
{
    if (!fault_at_path(call, name))
        return false;
    SetLastError(ERROR_ACCESS_DENIED);
    return true;
}

HANDLE open_file(FileCall call, const char *name, DWORD access, DWORD disposition, DWORD flags)
{
    if (injected(call, name))
        return INVALID_HANDLE_VALUE;
    return CreateFileA(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       disposition, flags, nullptr);
}

BOOL file_information(HANDLE h, const char *name, BY_HANDLE_FILE_INFORMATION *info)
{
    return !injected(FileCall::identity, name) && GetFileInformationByHandle(h, info);
}

BOOL delete_file(const char *name)
{
    return !injected(FileCall::remove, name) && DeleteFileA(name);
}

DWORD final_path(HANDLE h, const char *name, char *path, DWORD size)
{
    if (injected(FileCall::resolve, name))
        return 0;
    return GetFinalPathNameByHandleA(h, path, size, FILE_NAME_NORMALIZED);
}

// A file's identity is its volume serial number and file index. Returns 0,
// or the error that kept it from being read. `disk` turns false for a device
// or pipe, which has no identity and so is no input's.
DWORD read_identity(const char *name, BY_HANDLE_FILE_INFORMATION *info, bool *disk)
{
    HANDLE h = open_file(FileCall::identity_open, name, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError();
    *disk = GetFileType(h) == FILE_TYPE_DISK;
    DWORD err = !*disk || file_information(h, name, info) ? 0 : GetLastError();
    CloseHandle(h);
    return err;
}

bool no_such_file(DWORD err)
{
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND;
}

// Removes the output that was written; 0 when it is gone (or is a device),
// else the error Windows gave.
DWORD remove_guarded(void)
{
    if (guarded_path[0] == '\0' || delete_file(guarded_path))
        return 0;
    DWORD err = GetLastError();
    return no_such_file(err) ? 0 : err;
}

// Ends the run as Windows ends an interrupted console program; like a
// signal's default action, nothing more runs in the process (no buffers are
// flushed while the main thread may be inside them).
[[noreturn]] void end_interrupted(void)
{
    TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    for (;;)
        Sleep(INFINITE);
}

// Removes the output and ends the run. An output held open without delete
// sharing (by the header update, which reopens it by name, or by another
// program) is tried again until it is let go; meanwhile the main thread ends
// the run if it comes to release or remove the output first.
BOOL WINAPI on_console_event(DWORD)
{
    for (;;) {
        AcquireSRWLockExclusive(&guard_lock);
        if (!guard_armed || remove_guarded() == 0)
            end_interrupted();
        event_pending = true;
        ReleaseSRWLockExclusive(&guard_lock);
        Sleep(50);
    }
}

// Takes the lock for the main thread. A pending event ends the run here, as
// it would have where it came.
void take_guard_lock(void)
{
    AcquireSRWLockExclusive(&guard_lock);
    if (event_pending) {
        remove_guarded();
        end_interrupted();
    }
}

// A stream over the handle of file `name`; closes the handle when it cannot
// make one.
FILE *stream_of(HANDLE h, const char *name)
{
    int fd = _open_osfhandle((intptr_t)h, _O_RDWR | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    FILE *fp = _fdopen(fd, "w+b");
    if (!fp)
        _close(fd);
    fault_opened(fp, name);
    return fp;
}

// Records what to remove: through a link, the file it leads to.
void record_guarded_path(HANDLE h, const char *filenameout)
{
    guarded_path[0] = '\0';
    if (GetFileType(h) != FILE_TYPE_DISK)
        return;
    DWORD n = final_path(h, filenameout, guarded_path, sizeof guarded_path);
    if (n == 0 || n >= sizeof guarded_path) {
        n = GetFullPathNameA(filenameout, sizeof guarded_path, guarded_path, nullptr);
        if (n == 0 || n >= sizeof guarded_path)
            snprintf(guarded_path, sizeof guarded_path, "%s", filenameout);
    }
}

}  // namespace

Identity file_identity(const char *in, const char *out)
{
    BY_HANDLE_FILE_INFORMATION fi, fo;
    bool disk_in = true, disk_out = true;
    if (read_identity(in, &fi, &disk_in) != 0)
        return Identity::input_unknown;
    DWORD err = read_identity(out, &fo, &disk_out);
    if (err != 0)
        return no_such_file(err) ? Identity::different : Identity::output_unknown;
    if (!disk_in || !disk_out)
        return Identity::different;
    return fi.dwVolumeSerialNumber == fo.dwVolumeSerialNumber &&
                   fi.nFileIndexHigh == fo.nFileIndexHigh && fi.nFileIndexLow == fo.nFileIndexLow
               ? Identity::same
               : Identity::different;
}

// A program started with Ctrl-C ignored keeps ignoring it: Windows then
// calls no handler for it.
void install_interrupt_handlers(void)
{
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

FILE *open_guarded_output(const char *filenameout)
{
    // Delete sharing lets the handler remove the file while it is open here.
    // Asking for DELETE access refuses, before anything is emptied, a file
    // that another program holds without letting it be deleted; a read-only
    // file is refused as well.
    AcquireSRWLockExclusive(&guard_lock);
    HANDLE h = open_file(FileCall::create, filenameout, GENERIC_READ | GENERIC_WRITE | DELETE, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL);
    FILE *fp = nullptr;
    if (h != INVALID_HANDLE_VALUE) {
        record_guarded_path(h, filenameout);
        guard_armed = true;
        fp = stream_of(h, filenameout);
        if (!fp) {
            remove_guarded();  // created for nothing; refused as not opened
            guard_armed = false;
        }
    }
    ReleaseSRWLockExclusive(&guard_lock);
    return fp;
}

void release_output(void)
{
    take_guard_lock();
    guard_armed = false;
    ReleaseSRWLockExclusive(&guard_lock);
}

int16_t remove_output(const char *filenameout)
{
    take_guard_lock();
    DWORD err = guard_armed ? remove_guarded() : 0;
    guard_armed = false;
    ReleaseSRWLockExclusive(&guard_lock);
    if (err == 0)
        return 0;
    printf("\nCannot remove output LAS file %s\n\n", filenameout);
    return -1;
}
