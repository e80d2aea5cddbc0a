#include "platform/posix/Interrupts.h"

#include <unistd.h>

#include <atomic>
#include <csignal>

#include "platform/PendingRemoval.h"

namespace platform {
namespace {

// Everything the handler reads is plain storage written before its flag is raised.
termios g_terminalMode;
std::atomic<bool> g_terminalModeSet{false};

extern "C" void UndoAndEnd(int signal) {
  if (const char* path = PendingRemovalPath()) {
    ::unlink(path);
  }
  if (g_terminalModeSet.load()) {
    ::tcflush(STDIN_FILENO, TCIFLUSH);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &g_terminalMode);
  }
  // The default action ends the process as the signal would have without the handler.
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

// A signal that the process was started to ignore (nohup, a background job) stays ignored.
void InstallInterruptHandlers() {
  static const bool installed = [] {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction current {};
      if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
        continue;
      }
      struct sigaction action {};
      action.sa_handler = UndoAndEnd;
      sigemptyset(&action.sa_mask);
      ::sigaction(signal, &action, nullptr);
    }
    return true;
  }();
  (void)installed;
}

void RestoreTerminalOnInterrupt(const termios& mode) {
  InstallInterruptHandlers();
  g_terminalMode = mode;
  g_terminalModeSet.store(true);
}

void ForgetTerminalOnInterrupt() {
  g_terminalModeSet.store(false);
}

}  // namespace platform
