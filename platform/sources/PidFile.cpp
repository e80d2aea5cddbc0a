#include "platform/sources/PidFile.h"

#include "platform/RunningProgram.h"

namespace platform::sources {
namespace {

// Linux gives ids up to 2^22 (PID_MAX_LIMIT); ten digits are more than any system gives.
constexpr std::size_t kLongestPid = 10;

}  // namespace

std::optional<std::uint32_t> PidOfPidFile(std::string_view text) {
  std::size_t digits = 0;
  std::uint64_t pid = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
    if (++digits > kLongestPid) {
      return std::nullopt;
    }
    pid = pid * 10 + static_cast<std::uint64_t>(text[digits - 1] - '0');
  }
  for (char c : text.substr(digits)) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
      return std::nullopt;
    }
  }
  if (digits == 0 || pid == 0 || pid > 0x7FFFFFFFu) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(pid);
}

bool PidFileNamesRunningProgram(const ConfigFiles& files, std::span<const std::string> pidFiles,
                                std::string_view program) {
  for (const std::string& path : pidFiles) {
    if (path.empty()) {
      continue;
    }
    ConfigFileRead read = files.read(path);
    if (read.error != FileError::None) {
      continue;
    }
    std::optional<std::uint32_t> pid = PidOfPidFile(read.text);
    if (pid && IsProgramRunning(*pid, program)) {
      return true;
    }
  }
  return false;
}

}  // namespace platform::sources
