/* The Windows side of scripts/test-windows.sh: runs a command line as a
 * Windows program would and writes the exit code it got to RESULT
 * ("0x%08lx", or "error: ..." when the run could not be made).
 * Usage: win_runner RESULT MODE ARG "COMMAND LINE"
 *   run -          just runs it
 *   hold-none FILE runs it while FILE is held open sharing nothing
 *   hold-rw FILE   runs it while FILE is held open sharing reading and
 *                  writing but not deletion
 *   ctrl-c POINT   holds the run at POINT of a test build (see
 *                  tool/test_seam.h) and presses Ctrl-C in its console
 *                  (needs one: under Wine, a terminal)
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static FILE *result;

static int give_up(const char *what)
{
    fprintf(result, "error: %s (%lu)\n", what, GetLastError());
    return 1;
}

/* The runner itself outlives the Ctrl-C it presses. */
static BOOL WINAPI survive(DWORD event)
{
    (void)event;
    return TRUE;
}

/* Starts the command line; its standard error goes to `err` when given. */
static BOOL start(char *cmdline, HANDLE err, PROCESS_INFORMATION *pi)
{
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = err ? err : GetStdHandle(STD_ERROR_HANDLE);
    return CreateProcessA(NULL, cmdline, NULL, NULL, TRUE, 0, NULL, NULL, &si, pi);
}

static int report_exit(PROCESS_INFORMATION *pi)
{
    if (WaitForSingleObject(pi->hProcess, 20000) != WAIT_OBJECT_0) {
        TerminateProcess(pi->hProcess, 1);
        return give_up("the run did not end");
    }
    DWORD code;
    GetExitCodeProcess(pi->hProcess, &code);
    fprintf(result, "0x%08lx\n", code);
    return 0;
}

static int run_holding(char *cmdline, const char *file, DWORD share)
{
    HANDLE h = CreateFileA(file, GENERIC_READ, share, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return give_up("cannot hold the file");
    PROCESS_INFORMATION pi;
    if (!start(cmdline, NULL, &pi))
        return give_up("cannot start");
    int status = report_exit(&pi);
    CloseHandle(h);
    return status;
}

static int run_interrupted(char *cmdline, const char *point)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, NULL, TRUE};
    HANDLE r, w;
    if (!CreatePipe(&r, &w, &sa, 0))
        return give_up("cannot make a pipe");
    SetHandleInformation(r, HANDLE_FLAG_INHERIT, 0);
    SetEnvironmentVariableA("QUORVANE_HOLD_AT", point);
    SetEnvironmentVariableA("QUORVANE_HOLD_FD", "2");
    SetConsoleCtrlHandler(survive, TRUE);
    PROCESS_INFORMATION pi;
    if (!start(cmdline, w, &pi))
        return give_up("cannot start");
    CloseHandle(w);
    char held[5];
    DWORD n = 0;
    if (!ReadFile(r, held, sizeof held, &n, NULL) || n != sizeof held) {
        TerminateProcess(pi.hProcess, 1);
        return give_up("the run was not held");
    }
    if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
        TerminateProcess(pi.hProcess, 1);
        return give_up("cannot press Ctrl-C");
    }
    return report_exit(&pi);
}

int main(int argc, char **argv)
{
    if (argc != 5 || !(result = fopen(argv[1], "wb"))) {
        fputs("Usage: win_runner RESULT MODE ARG \"COMMAND LINE\"\n", stderr);
        return 2;
    }
    int status;
    if (strcmp(argv[2], "run") == 0) {
        PROCESS_INFORMATION pi;
        status = start(argv[4], NULL, &pi) ? report_exit(&pi) : give_up("cannot start");
    } else if (strcmp(argv[2], "hold-none") == 0) {
        status = run_holding(argv[4], argv[3], 0);
    } else if (strcmp(argv[2], "hold-rw") == 0) {
        status = run_holding(argv[4], argv[3], FILE_SHARE_READ | FILE_SHARE_WRITE);
    } else if (strcmp(argv[2], "ctrl-c") == 0) {
        status = run_interrupted(argv[4], argv[3]);
    } else {
        status = give_up("unknown mode");
    }
    fclose(result);
    return status;
}
