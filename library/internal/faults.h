// The test build's failing file calls. Each file call of the library and the
// tool (the wrappers of internal/platform.h and of the tool's output guard)
// first asks here whether it is the call that fails, so that a test can make
// any one of them fail as a failing disk or file system would. The shipped
// build asks nothing: every answer below is a constant "no", and it reads no
// environment. The test build (QUORVANE_TEST_SEAM) answers from a table in
// platform/faults.cpp, set by
//   QUORVANE_FAULT          the kind of call that fails (a FileCall's name)
//   QUORVANE_FAULT_PATH     the file, matched as the end of the name it is
//                           opened or named by
//   QUORVANE_FAULT_AT       which such call on the file fails, counted from
//                           the start of the run (1 when not set)
//   QUORVANE_FAULT_OPENING  for calls on an open file: only those on its
//                           k-th opening (file_open or the output's
//                           creation) count; all when not set
// Exactly one call fails; those before and after it go through.
#ifndef FAULTS_H
#define FAULTS_H

#include <cstdio>

enum class FileCall {
    open,           // file_open
    create,         // the output guard creating the output
    read,           // file_read
    write,          // file_write
    flush,          // file_flush
    close,          // file_close
    seek,           // seek_to
    size,           // file_size
    identity,       // a file's identity: stat, GetFileInformationByHandle
    identity_open,  // Windows: opening a file to read its identity
    examine,        // POSIX: lstat of the output before its removal
    remove,         // unlink, DeleteFileA
    resolve,        // the output's full name: realpath, GetFinalPathNameByHandleA
};

#ifdef QUORVANE_TEST_SEAM
// Whether this call, naming the file `path`, is the one that fails (it then
// sets errno to EIO).
bool fault_at_path(FileCall call, const char *path);
// `fp` (null when the opening failed) was opened from `path`.
void fault_opened(FILE *fp, const char *path);
// Whether this call on `fp` is the one that fails (it then sets errno to
// EIO). A read, write or flush that fails leaves the stream in error.
bool fault_at_stream(FileCall call, FILE *fp);
// Whether a failure injected above left `fp` in error.
bool fault_left_error(FILE *fp);
#else
inline bool fault_at_path(FileCall, const char *) { return false; }
inline void fault_opened(FILE *, const char *) {}
inline bool fault_at_stream(FileCall, FILE *) { return false; }
inline bool fault_left_error(FILE *) { return false; }
#endif

#endif
