#include "platform/Process.h"

#include <unistd.h>

#include <climits>
#include <csignal>

namespace platform {
namespace {

std::vector<std::string>& RememberedArguments() {
  static std::vector<std::string> arguments;
  return arguments;
}

std::string& RememberedProgramPath() {
  static std::string path;
  return path;
}

std::string WithoutDirectory(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void PrepareProcess(int argc, char** argv) {
  // A closed pipe on standard output must end in the failure report, not in SIGPIPE; a file that
  // outgrows the size limit (ulimit -f) must end in "Cannot write file", with the old file
  // kept, not in SIGXFSZ. Both become errors of the write.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  auto& arguments = RememberedArguments();
  arguments.clear();
  // An empty argument is not counted, as the Windows rules skip an empty quoted one.
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] != '\0') {
      arguments.emplace_back(argv[i]);
    }
  }
  RememberedProgramPath() = argc > 0 ? argv[0] : "";
}

std::vector<std::string> ProgramArguments() {
  return RememberedArguments();
}

std::string ProgramFileName() {
  char path[PATH_MAX];
  ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length > 0) {
    return WithoutDirectory(std::string(path, static_cast<std::size_t>(length)));
  }
  return WithoutDirectory(RememberedProgramPath());
}

}  // namespace platform
