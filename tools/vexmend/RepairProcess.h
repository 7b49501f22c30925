// A repair run by this program in a process of its own (its "general" or
// "advance" command), so that a stop can end it, with its encoder, at any
// moment: a call into the library cannot be stopped from outside.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The result code given for a repair process that ended without one (it
// crashed, was killed or failed before the library ran).
constexpr int32_t kRepairProcessFailed = -3;

// The program's exit status for a result code of the library: 0 on success,
// else a small number per result code; and the result code back.
int ExitStatus(int32_t code);
int32_t ResultCode(int exitStatus);

struct RepairFolders {
    std::string log, work;
};

// Runs this program with `--log-dir`, `--work-dir` and `command` (for
// example {"general", INPUT, OUTPUT}) and returns the library's result code.
// Throws Stopped, once the process and its encoder have ended, when a stop
// is asked for, and std::runtime_error when the process cannot be started.
int32_t RunRepairProcess(const RepairFolders& folders, const std::vector<std::string>& command);
