// Starting programs on POSIX: fork, then exec, through the emulator of a
// cross build for the programs of this build.
#include "spawn.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <ftw.h>
#include <pty.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string drain(int fd)
{
    std::string s;
    char buf[65536];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        s.append(buf, (size_t)n);
    return s;
}

// Forks; the child's stdout and stderr go to temporary files so that large
// outputs cannot dead-lock on a pipe.
RunResult capture(const std::function<void()> &child,
                  const std::function<void(pid_t)> &while_running = {})
{
    char out_name[] = "/tmp/quorvane_out_XXXXXX";
    char err_name[] = "/tmp/quorvane_err_XXXXXX";
    int out_fd = mkstemp(out_name), err_fd = mkstemp(err_name);
    fflush(stdout);
    fflush(stderr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        child();
        fflush(stdout);
        _exit(0);
    }
    if (while_running)
        while_running(pid);
    int wstatus = 0;
    struct rusage usage;
    wait4(pid, &wstatus, 0, &usage);
    RunResult r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.peak_kb = usage.ru_maxrss;
    lseek(out_fd, 0, SEEK_SET);
    lseek(err_fd, 0, SEEK_SET);
    r.out = drain(out_fd);
    r.err = drain(err_fd);
    close(out_fd);
    close(err_fd);
    unlink(out_name);
    unlink(err_name);
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 1000 + WTERMSIG(wstatus);
    return r;
}

int remove_entry(const char *path, const struct stat *, int, struct FTW *)
{
    return remove(path);
}

// Replaces the process with `program` and `args` (argv[0] is `program`). A
// program of this build starts through the emulator of a cross build. A
// machine's own program started from a cross build's test does not get the
// library path the emulator gave the test (the target's libraries; a tool
// such as dpkg-shlibdeps would take them for its own search).
[[noreturn]] void exec_program(const std::string &program, const std::vector<std::string> &args)
{
    std::vector<std::string> words;
    const bool ours = program.rfind(QUORVANE_BUILD_DIR "/", 0) == 0;
    if (ours)
        words = launcher();
    else if (!launcher().empty())
        unsetenv("LD_LIBRARY_PATH");
    words.push_back(program);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(&w[0]);
    argv.push_back(nullptr);
    if (words.size() > args.size() + 1)
        execvp(argv[0], argv.data());
    else
        execv(program.c_str(), argv.data());
    _exit(127);
}

// exec_program in folder `cwd` (empty: this one).
[[noreturn]] void exec_in(const std::string &program, const std::string &cwd,
                          const std::vector<std::string> &args)
{
    if (!cwd.empty() && chdir(cwd.c_str()) != 0)
        _exit(127);
    exec_program(program, args);
}

}  // namespace

RunResult run_held(const char *program, const std::string &cwd, const std::vector<std::string> &args,
                   const char *point,
                   int sig, const std::function<void()> &prepare, int then_sig)
{
    int ready[2];
    if (pipe(ready) != 0)
        return RunResult();
    RunResult r = capture(
        [&] {
            close(ready[0]);
            setenv("QUORVANE_HOLD_AT", point, 1);
            setenv("QUORVANE_HOLD_FD", std::to_string(ready[1]).c_str(), 1);
            if (prepare)
                prepare();
            exec_in(program, cwd, args);
        },
        [&](pid_t pid) {
            close(ready[1]);
            char word[8] = {};
            // "held" arrives once the run waits at the point; end of file
            // means it ended without reaching it, and no signal is sent.
            if (read(ready[0], word, sizeof word - 1) > 0) {
                kill(pid, sig);
                if (then_sig)
                    kill(pid, then_sig);
            }
            close(ready[0]);
        });
    return r;
}

RunResult run_on_terminal(const char *program, const std::string &cwd,
                          const std::vector<std::string> &args, const std::function<void()> &prepare)
{
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return RunResult();
    std::string seen;
    RunResult r = capture(
        [&] {
            close(master);
            dup2(slave, 2);
            close(slave);
            if (prepare)
                prepare();
            exec_in(program, cwd, args);
        },
        [&](pid_t) {
            close(slave);
            char buf[4096];
            ssize_t n;
            while ((n = read(master, buf, sizeof buf)) > 0)  // ends when the child is gone
                seen.append(buf, (size_t)n);
        });
    close(master);
    r.err = seen;
    return r;
}
std::vector<std::string> launcher()
{
    std::vector<std::string> words;
    std::istringstream text(QUORVANE_LAUNCHER);
    for (std::string w; std::getline(text, w, '|');)
        if (!w.empty())
            words.push_back(w);
    return words;
}

RunResult spawn(const std::string &program, const std::vector<std::string> &args, const std::string &cwd,
                const std::function<void()> &prepare)
{
    return capture([&] {
        if (prepare)
            prepare();
        exec_in(program, cwd, args);
    });
}

// The file is created empty, which keeps its name from any other process.
std::string temp_file_name()
{
    char name[] = "/tmp/quorvane_result_XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0)
        close(fd);
    return name;
}

TempDir::TempDir()
{
    char name[] = "/tmp/quorvane_test_XXXXXX";
    path = mkdtemp(name);
}

TempDir::~TempDir()
{
    nftw(path.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

