// Helpers for running programs and library routines as a user would and
// capturing exactly what they print.
#ifndef RUN_TOOL_H
#define RUN_TOOL_H

#include "las_writer.h"

#include <functional>
#include <string>
#include <vector>

struct RunResult {
    std::string out;        // standard output, byte for byte
    std::string err;        // standard error (the tool never writes to it)
    int status = -1;        // exit status as a shell sees it (255 for -1)
    unsigned long code = 0; // on Windows, the whole exit code a parent sees
    bool returned = false;  // run_request: the routine came back...
    int result = 0;         // ...with this value
    double seconds = 0;     // wall-clock time of the child
    long peak_kb = 0;       // its peak resident memory
};

// Runs the Quorvane executable with these arguments.
RunResult run_quorvane(const std::vector<std::string> &args);

// Runs Quorvane in folder `cwd`, after `prepare` (run in the child first:
// limits, signal dispositions).
RunResult run_quorvane_in(const std::string &cwd, const std::vector<std::string> &args,
                          const std::function<void()> &prepare = {});

#ifndef _WIN32
// Runs `program` (the test build of Quorvane) in `cwd`, holds it at `point`
// (see tool/run/seam.h) and sends it `sig` there, then `then_sig` when not
// 0. `prepare` runs in the child first.
RunResult run_held(const char *program, const std::string &cwd, const std::vector<std::string> &args,
                   const char *point, int sig, const std::function<void()> &prepare = {},
                   int then_sig = 0);

// Runs `program` in `cwd` with its standard error on a pseudo-terminal,
// whose bytes come back in `err`; `prepare` runs in the child first.
RunResult run_on_terminal(const char *program, const std::string &cwd,
                          const std::vector<std::string> &args,
                          const std::function<void()> &prepare = {});

// The status of a process ended by signal `sig`, as RunResult reports it.
constexpr int killed_by(int sig) { return 1000 + sig; }
#endif

// What a shell command puts before a program of this build to start it: the
// cross build's emulator, quoted, and a space; empty in a native build.
std::string launcher_command();

// Whether this is a cross build, whose programs run under an emulator.
bool cross_build();

// Runs `program` with `args` (argv[0] is `program`), in folder `cwd` when
// one is given.
RunResult run_program(const std::string &program, const std::vector<std::string> &args,
                      const std::string &cwd = "");

// Runs the library routine `request` with `args` in a child process of its
// own (tests/support/child.cpp), in folder `cwd` when one is given, with its
// standard output captured: either it returns (`returned`, its `result`) or
// it ends the process (`status`).
RunResult run_request(const std::string &request, const std::vector<std::string> &args = {},
                      const std::string &cwd = "");

// Sets or removes an environment variable of this process (which the
// programs it starts inherit), on every platform.
void set_env(const char *name, const char *value);
void unset_env(const char *name);

// A fresh directory under the system's temporary folder, removed with its
// contents when the object goes.
struct TempDir {
    std::string path;
    TempDir();
    ~TempDir();
    std::string file(const std::string &name) const { return path + "/" + name; }
};

std::vector<unsigned char> read_file(const std::string &path);
bool file_exists(const std::string &path);

// The banner, the usage line and the request summary exactly as printed.
extern const char *const kBanner;
extern const char *const kUsage;
std::string summary_text(const std::string &in, const std::string &out, const std::string &name,
                         const std::string &min, const std::string &max);

// The count a run printed on its "Output Records" line, or -1 without one.
long printed_output_records(const std::string &out);

// The real LAS files written by other software, from the MANIFEST.md of
// each corpus folder present, with the kind check_las must give (-1 when it
// must refuse them). Empty when no corpus folder is present.
struct CorpusFile {
    std::string path;
    int kind;
};
std::vector<CorpusFile> corpus_files();

#endif
