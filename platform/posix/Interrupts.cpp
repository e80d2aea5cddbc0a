#include "platform/Interrupts.h"

#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

namespace platform {
namespace {

// Everything the handler reads is plain storage written before its flag is raised.
char g_removalPath[32768];
std::atomic<bool> g_removalPathSet{false};
termios g_terminalMode;
std::atomic<bool> g_terminalModeSet{false};

extern "C" void UndoAndEnd(int signal) {
  if (g_removalPathSet.load()) {
    ::unlink(g_removalPath);
  }
  if (g_terminalModeSet.load()) {
    ::tcflush(STDIN_FILENO, TCIFLUSH);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &g_terminalMode);
  }
  // Blocked until the handler returns; then the default action ends the process as the signal
  // would have without the handler (a fault raises its signal again on the same instruction).
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  ::sigaction(signal, &byDefault, nullptr);
  ::raise(signal);
}

// A signal that already has a handler (a sanitizer's) or is ignored keeps it.
void HandleIfDefault(int signal) {
  struct sigaction current {};
  if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) {
    return;
  }
  struct sigaction action {};
  action.sa_handler = UndoAndEnd;
  // One handler at a time: a second signal waits, and the first one ends the process.
  sigfillset(&action.sa_mask);
  ::sigaction(signal, &action, nullptr);
}

// Every signal whose default action ends the process and that a handler can catch. SIGPIPE and
// SIGXFSZ are among them: the program ignores both, so that the write fails with an error it
// reports, which leaves them to the handler only where the program has not done so.
void InstallHandlers() {
  static const bool installed = [] {
    for (int signal : {SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP,   SIGABRT, SIGBUS,  SIGFPE,
                       SIGUSR1,   SIGSEGV, SIGUSR2, SIGPIPE, SIGALRM,   SIGTERM, SIGXCPU, SIGXFSZ,
                       SIGVTALRM, SIGPROF, SIGSYS,  SIGPOLL, SIGSTKFLT, SIGPWR}) {
      HandleIfDefault(signal);
    }
    // The real-time signals end the process by default too; the C library keeps the first few
    // for itself, below SIGRTMIN.
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) {
      HandleIfDefault(signal);
    }
    return true;
  }();
  (void)installed;
}

}  // namespace

void RemoveOnInterrupt(const std::filesystem::path& path) {
  InstallHandlers();
  g_removalPathSet.store(false);
  const std::string& text = path.native();
  if (text.size() < sizeof g_removalPath) {
    std::memcpy(g_removalPath, text.c_str(), text.size() + 1);
    g_removalPathSet.store(true);
  }
}

void KeepOnInterrupt() {
  g_removalPathSet.store(false);
}

bool RestoreTerminalOnInterrupt() {
  InstallHandlers();
  g_terminalModeSet.store(false);
  if (::tcgetattr(STDIN_FILENO, &g_terminalMode) != 0) {
    return false;
  }
  g_terminalModeSet.store(true);
  return true;
}

void ForgetTerminalOnInterrupt() {
  g_terminalModeSet.store(false);
}

}  // namespace platform
