#include "platform/InterruptCleanup.h"

#include <windows.h>

#include <atomic>
#include <cstring>

namespace platform {
namespace {

// The console runs the handler on a thread of its own: the path is plain storage written before
// its flag is raised.
char g_temporaryPath[32768];
std::atomic<bool> g_temporaryPathSet{false};

// Ctrl+C, Ctrl+Break and the console closing end the process once the handler returns; the file
// was opened with deletion shared, so it goes even while still open.
BOOL WINAPI RemoveBeforeTheEnd(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
    if (g_temporaryPathSet.load()) {
      ::DeleteFileA(g_temporaryPath);
    }
  }
  return FALSE;
}

void InstallHandlerOnce() {
  static const bool installed = ::SetConsoleCtrlHandler(RemoveBeforeTheEnd, TRUE) != 0;
  (void)installed;
}

}  // namespace

void RemoveOnInterrupt(const std::string& path) {
  InstallHandlerOnce();
  g_temporaryPathSet.store(false);
  if (path.size() < sizeof g_temporaryPath) {
    std::memcpy(g_temporaryPath, path.c_str(), path.size() + 1);
    g_temporaryPathSet.store(true);
  }
}

void KeepOnInterrupt() {
  g_temporaryPathSet.store(false);
}

}  // namespace platform
