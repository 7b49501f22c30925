// A stop asked for by the user (Ctrl-C) or the system (termination) while
// the card mode runs: noted, so that the run ends its children, removes its
// temporary files and reports the clips it finished.
#pragma once

#include <stdexcept>

// From now on SIGINT and SIGTERM (on Windows Ctrl-C, Ctrl-Break and the
// console's closing) are noted instead of ending the program.
void CatchStopSignals();

// True once a stop was asked for.
bool StopRequested();

// The exit status that tells that the run was stopped: 128 and the signal's
// number, as a shell shows it (130 for Ctrl-C, 143 for termination).
int StopExitStatus();

// Thrown by a step that gives up because a stop was asked for.
struct Stopped : std::runtime_error {
    Stopped() : std::runtime_error("stopped") {}
};

// Throws Stopped when a stop was asked for.
inline void ThrowIfStopped()
{
    if (StopRequested()) throw Stopped();
}
