#include <windows.h>

#include "platform/PendingRemoval.h"

namespace platform {
namespace {

// Ctrl+C, Ctrl+Break and the console closing end the process once the handler returns; the file
// was opened with deletion shared, so it goes even while still open.
BOOL WINAPI RemoveBeforeTheEnd(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
    if (const char* path = PendingRemovalPath()) {
      ::DeleteFileA(path);
    }
  }
  return FALSE;
}

}  // namespace

// The console runs the handler on a thread of its own.
void InstallInterruptHandlers() {
  static const bool installed = ::SetConsoleCtrlHandler(RemoveBeforeTheEnd, TRUE) != 0;
  (void)installed;
}

}  // namespace platform
