#include "platform/Process.h"

#include <windows.h>

#include "platform/CommandLine.h"

namespace platform {
namespace {

std::string WithoutDirectory(const std::string& path) {
  std::size_t separator = path.find_last_of("\\/:");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace

// Windows hands the program one raw command line; argv is the C runtime's own reading of it,
// whose rules differ from those the arguments are counted by.
void PrepareProcess(int, char**) {}

std::vector<std::string> ProgramArguments() {
  std::vector<std::string> arguments = SplitCommandLine(::GetCommandLineA());
  if (!arguments.empty()) {
    arguments.erase(arguments.begin());
  }
  return arguments;
}

std::string ProgramFileName() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      return {};
    }
    // A path that filled the buffer may have been cut short.
    if (length < path.size()) {
      path.resize(length);
      return WithoutDirectory(path);
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace platform
