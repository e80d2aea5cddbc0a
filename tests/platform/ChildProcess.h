#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace test_support {

// The wait status of `body` run in a child process of its own, for what the test process must
// not do itself: enter a mount namespace, become another user, be ended by a signal. The exit
// status is what `body` returns; an ending signal dumps no core.
inline int InChild(const std::function<int()>& body) {
  pid_t child = ::fork();
  if (child == 0) {
    rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return status;
}

inline bool ExitedCleanly(int status) {
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

inline std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace test_support
