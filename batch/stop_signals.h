#pragma once
// SIGINT (Ctrl+C) and SIGTERM (what a job scheduler sends at its time
// limit) stop a batch run the way "Zrušit" stops the window's command: the
// computation ends through its failure path, no result file is written, and
// the log and the JSON summary say so.  A second signal ends the process at
// once (the handler is installed for one signal only).

#include <string>

namespace pelvanor::batch {

// Installs the handlers for SIGINT and SIGTERM.
void InstallStopSignals();
// The signal that asked the run to stop, 0 while none has.  Safe to ask
// from any thread, as often as wanted.
int StopSignal();
// "SIGINT" or "SIGTERM".
std::string StopSignalName(int signal);
// The exit status of a run stopped by `signal`: 128 + its number, as a
// shell reports a process the signal ended (130, 143).
int StoppedExitStatus(int signal);

}  // namespace pelvanor::batch
