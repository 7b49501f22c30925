// Stop requests on POSIX systems: SIGINT and SIGTERM.
#include <signal.h>

#include "StopSignal.h"

namespace {

volatile sig_atomic_t stopSignal = 0;

extern "C" void NoteStop(int signal) { stopSignal = signal; }

}  // namespace

void CatchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = NoteStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool StopRequested() { return stopSignal != 0; }

int StopExitStatus() { return 128 + stopSignal; }
