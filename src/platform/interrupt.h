// Ctrl-C and termination requests, turned into a flag that the main loop polls.
#pragma once

namespace wg::platform {

// Installs handlers for SIGINT and SIGTERM that only raise a flag.
void InstallInterruptHandler();

// A peer that closes a connection while we write must give a write error,
// not end the process: SIGPIPE is ignored for the whole process.
void IgnoreBrokenPipe();
// A write past the process's file-size limit must fail with EFBIG like any
// other write error, not end the process: SIGXFSZ is ignored too.
void IgnoreFileSizeLimitSignal();

// True once an interrupt arrived since the last ClearInterrupt.
bool InterruptRequested();
int InterruptCount();
void ClearInterrupt();

}  // namespace wg::platform
