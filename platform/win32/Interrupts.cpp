#include "platform/Interrupts.h"

#include <windows.h>

#include <atomic>
#include <cwchar>

namespace platform {
namespace {

// Room for the longest path the system takes. Written before its flag is raised, as the
// console's handler thread reads it.
wchar_t g_removalPath[32768];
std::atomic<bool> g_removalPathSet{false};

// Every console event ends the process once the handlers return FALSE: Ctrl+C, Ctrl+Break, the
// console closing, the user logging off, the system shutting down (the last two reach a console
// program that loads no user32.dll, a scheduled task or a service). The file was opened with
// deletion shared, so it goes even while still open.
BOOL WINAPI RemoveBeforeTheEnd(DWORD) {
  if (g_removalPathSet.load()) {
    ::DeleteFileW(g_removalPath);
  }
  return FALSE;
}

// The console runs the handler on a thread of its own.
void InstallHandler() {
  static const bool installed = ::SetConsoleCtrlHandler(RemoveBeforeTheEnd, TRUE) != 0;
  (void)installed;
}

}  // namespace

void RemoveOnInterrupt(const std::filesystem::path& path) {
  InstallHandler();
  g_removalPathSet.store(false);
  const std::wstring& text = path.native();
  if (text.size() < sizeof g_removalPath / sizeof g_removalPath[0]) {
    std::wmemcpy(g_removalPath, text.c_str(), text.size() + 1);
    g_removalPathSet.store(true);
  }
}

void KeepOnInterrupt() {
  g_removalPathSet.store(false);
}

// The key wait reads console events without changing the console's mode.
bool RestoreTerminalOnInterrupt() {
  return false;
}

void ForgetTerminalOnInterrupt() {}

}  // namespace platform
