#include "platform/RunningProgram.h"

#include <signal.h>
#include <sys/types.h>

#include <cerrno>
#include <string>

#include "platform/ReadOnlyFile.h"

namespace platform {
namespace {

// The start of /proc/PID/stat: "PID (COMMAND) STATE ...". The command may hold spaces and
// parentheses itself, so it ends at the last ')'. Empty when it cannot be read.
std::string StatOf(std::uint32_t pid) {
  ReadOnlyFile file;
  if (file.Open("/proc/" + std::to_string(pid) + "/stat") != FileError::None) {
    return {};
  }
  char buffer[512];
  std::size_t count = 0;
  if (file.Read(buffer, sizeof buffer, count) != FileError::None) {
    return {};
  }
  return std::string(buffer, count);
}

}  // namespace

bool IsProgramRunning(std::uint32_t pid, std::string_view name) {
  if (pid == 0 || pid > 0x7FFFFFFFu) {
    return false;
  }
  if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) {
    return false;
  }
  std::string stat = StatOf(pid);
  std::size_t open = stat.find('(');
  std::size_t close = stat.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open ||
      close + 2 >= stat.size()) {
    return true;
  }
  std::string_view command = std::string_view(stat).substr(open + 1, close - open - 1);
  char state = stat[close + 2];
  return state != 'Z' && state != 'X' && command == name.substr(0, 15);
}

}  // namespace platform
