/* Presses Ctrl-C in the console of a held run, as a user at a Windows
 * console would, and writes the exit code the run ended with to RESULT
 * ("0x%08lx", or "error: ..." when that could not be done). Needs a console:
 * under Wine, a terminal (scripts/test-cross.sh gives it a pseudo-terminal).
 * Usage: console_ctrl_c RESULT POINT "COMMAND LINE"
 *   POINT: where the test build of Quorvane in COMMAND LINE is held (see
 *   tool/run/seam.h) before Ctrl-C is pressed.
 */
#include <windows.h>

#include <stdio.h>

static FILE *result;

static int give_up(const char *what)
{
    fprintf(result, "error: %s (%lu)\n", what, GetLastError());
    return 1;
}

/* This program outlives the Ctrl-C it presses. */
static BOOL WINAPI survive(DWORD event)
{
    (void)event;
    return TRUE;
}

/* Starts the command line, its standard error into the pipe `err`. */
static BOOL start(char *cmdline, HANDLE err, PROCESS_INFORMATION *pi)
{
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = err;
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
    if (argc != 4 || !(result = fopen(argv[1], "wb"))) {
        fputs("Usage: console_ctrl_c RESULT POINT \"COMMAND LINE\"\n", stderr);
        return 2;
    }
    int status = run_interrupted(argv[3], argv[2]);
    fclose(result);
    return status;
}
