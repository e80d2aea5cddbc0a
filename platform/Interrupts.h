#pragma once

#include <filesystem>

namespace platform {

// What an interrupt undoes before it ends the process. An interrupt is anything from outside
// that ends the process by default: on POSIX every catchable signal whose default action ends
// it, on Windows every console control event (Ctrl+C, Ctrl+Break, the console closing, the
// session ending, the system shutting down). The handlers are installed at the first call of
// RemoveOnInterrupt or RestoreTerminalOnInterrupt; they read only what these functions stored
// before raising its flag, so they neither allocate nor lock, and then let the process end as it
// would have without them.
// A signal that the process was started to ignore, or that something else in it (a sanitizer)
// already handles, is left as it is.

// The one unfinished result file of the process (a temporary file, or a target written in
// place), removed if an interrupt ends the process before KeepOnInterrupt is called.
void RemoveOnInterrupt(const std::filesystem::path& path);
void KeepOnInterrupt();

// The mode that the terminal on standard input has now, put back (with its unread input
// dropped) if an interrupt ends the process before ForgetTerminalOnInterrupt is called. False
// when standard input is not a terminal. On Windows nothing changes the console's mode, and
// there is nothing to put back.
bool RestoreTerminalOnInterrupt();
void ForgetTerminalOnInterrupt();

}  // namespace platform
