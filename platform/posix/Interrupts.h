#pragma once

#include <termios.h>

namespace platform {

// The terminal mode to put back if an interrupt ends the process while the key wait has the
// terminal in single-key mode; what the key wait left unread is dropped with it.
void RestoreTerminalOnInterrupt(const termios& mode);
void ForgetTerminalOnInterrupt();

}  // namespace platform
