// Stop requests on Windows: the console's control events.
#include <windows.h>

#include <atomic>

#include "StopSignal.h"

namespace {

// The POSIX signal number that the event stands for.
std::atomic<int> stopSignal{0};

BOOL WINAPI NoteStop(DWORD event)
{
    stopSignal = event == CTRL_C_EVENT ? 2 : 15;
    // Windows ends the process when the handler of a closing console returns:
    // give the run a moment to end its children and remove its files.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        Sleep(4000);
    }
    return TRUE;
}

}  // namespace

void CatchStopSignals() { SetConsoleCtrlHandler(NoteStop, TRUE); }

bool StopRequested() { return stopSignal != 0; }

int StopExitStatus() { return 128 + stopSignal; }
