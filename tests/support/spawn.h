// Starting a program as a process of its own, per platform: the part of the
// test harness that differs between POSIX and Windows.
#ifndef SPAWN_H
#define SPAWN_H

#include "run_tool.h"

#include <functional>
#include <string>
#include <vector>

// Runs `program` with `args` in folder `cwd` (empty: this one), after
// `prepare` has run in the new process (POSIX only: limits, signal
// dispositions), and returns what it printed and how it ended.
RunResult spawn(const std::string &program, const std::vector<std::string> &args, const std::string &cwd,
                const std::function<void()> &prepare);

// The words of the command that starts a program of this build: a cross
// build's emulator; none in a native build or for Windows programs.
std::vector<std::string> launcher();

// The name of a new, empty temporary file, for the caller to remove.
std::string temp_file_name();

#endif
