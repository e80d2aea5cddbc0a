#include "platform/InterruptCleanup.h"

#include <atomic>
#include <cstring>

#include "platform/PendingRemoval.h"

namespace platform {
namespace {

// Room for the longest path either platform takes.
char g_temporaryPath[32768];
std::atomic<bool> g_temporaryPathSet{false};

}  // namespace

const char* PendingRemovalPath() {
  return g_temporaryPathSet.load() ? g_temporaryPath : nullptr;
}

void RemoveOnInterrupt(const std::string& path) {
  InstallInterruptHandlers();
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
