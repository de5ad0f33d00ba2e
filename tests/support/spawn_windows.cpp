// Starting programs on Windows: CreateProcess with each argument quoted as
// the C runtime splits them, standard output and error in temporary files.
#include "spawn.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <io.h>
#include <string>
#include <windows.h>

namespace {

// Test programs print their lists and results in binary mode, so that a line
// ends in "\n" alone, as ctest and the tests read them.
const int kBinaryOutput = _setmode(_fileno(stdout), _O_BINARY);

// One argument as the C runtime's command-line parser reads it back.
std::string quote(const std::string &a)
{
    if (!a.empty() && a.find_first_of(" \t\n\v\"") == std::string::npos)
        return a;
    std::string q = "\"";
    for (size_t i = 0;; i++) {
        size_t backslashes = 0;
        while (i < a.size() && a[i] == '\\') {
            i++;
            backslashes++;
        }
        if (i == a.size()) {
            q.append(backslashes * 2, '\\');
            break;
        }
        q.append(a[i] == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        q += a[i];
    }
    return q + "\"";
}

// A temporary file that a child can inherit as its standard output or error.
HANDLE inheritable_file(const std::string &name)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
}

std::string contents(const std::string &name)
{
    std::string s;
    FILE *fp = fopen(name.c_str(), "rb");
    char buf[65536];
    size_t n;
    while (fp && (n = fread(buf, 1, sizeof buf, fp)) > 0)
        s.append(buf, n);
    if (fp)
        fclose(fp);
    return s;
}

// One start of the program; false when it could not be started.
bool start_once(const std::string &program, const std::vector<std::string> &args, const std::string &cwd,
                RunResult &r)
{
    const std::string out_name = temp_file_name(), err_name = temp_file_name();
    HANDLE out = inheritable_file(out_name), err = inheritable_file(err_name);
    std::string command = quote(program);
    for (const std::string &a : args)
        command += " " + quote(a);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi;
    fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const bool started = CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        cwd.empty() ? nullptr : cwd.c_str(), &si, &pi);
    DWORD code = 0;
    if (started) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    CloseHandle(out);
    CloseHandle(err);
    r.out = contents(out_name);
    r.err = contents(err_name);
    remove(out_name.c_str());
    remove(err_name.c_str());
    // The low byte, as a POSIX shell sees an exit status: exit(-1) is 255.
    r.code = code;
    r.status = started ? (int)(code & 0xff) : 127;
    return started;
}

}  // namespace

int spawn_retries = 0;

RunResult spawn(const std::string &program, const std::vector<std::string> &args, const std::string &cwd,
                const std::function<void()> &prepare)
{
    RunResult r;
    if (prepare) {  // a POSIX-only request: the caller skips on Windows
        r.status = 127;
        r.err = "no preparation can run in a Windows child";
        return r;
    }
    // Wine now and then fails to start a program, which then ends with
    // status 1 having printed nothing (no program run here ends so): such a
    // start is made once more.
    if (start_once(program, args, cwd, r) && !(r.status == 1 && r.out.empty() && r.err.empty()))
        return r;
    spawn_retries++;
    fprintf(stderr, "note: %s started again\n", program.c_str());
    start_once(program, args, cwd, r);
    return r;
}

std::vector<std::string> launcher()
{
    return {};
}

// The file is created empty, which keeps its name from any other process.
std::string temp_file_name()
{
    char dir[MAX_PATH], name[MAX_PATH];
    if (!GetTempPathA(sizeof dir, dir) || !GetTempFileNameA(dir, "qv", 0, name))
        return "";
    return name;
}

// A folder of a name no other process has: creating it is what decides.
TempDir::TempDir()
{
    static unsigned counter = 0;
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    for (;;) {
        path = std::string(dir) + "quorvane_test_" + std::to_string(GetCurrentProcessId()) + "_" +
               std::to_string(GetTickCount()) + "_" + std::to_string(counter++);
        if (CreateDirectoryA(path.c_str(), nullptr) || GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    for (char &c : path)
        if (c == '\\')
            c = '/';
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}
