#pragma once
// Interruption requests by signal. SIGINT, SIGTERM and SIGHUP (a terminal's
// Ctrl-C, a logout, a system shutdown) only set a process-wide flag, so that
// an installation can stop after its current entry and roll back instead of
// leaving the template directory half written. Whoever runs a long task
// polls InterruptionRequested() and ends cleanly when it turns true.
// Programs started for the user (RunProgramAndWait) get them as usual.

// Installs the handlers (sigaction, SA_RESTART). They stay for the life of
// the process; later signals are caught too, so a second Ctrl-C cannot cut
// a rollback short. Returns false when a handler could not be installed.
[[nodiscard]] bool InstallInterruptionHandlers();

// True once one of the signals has arrived (async-signal-safe to read).
bool InterruptionRequested() noexcept;
// The first signal that arrived, 0 when none.
int InterruptionSignal() noexcept;
// Forgets an arrived signal (for tests and for a program that chose to go on).
void ClearInterruptionRequest() noexcept;
