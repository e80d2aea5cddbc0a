#include "platform/kea/KeaSettings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "platform/Console.h"

namespace platform::kea {
namespace {

// A day is far beyond any answer Kea gives and keeps the value clear of overflow.
constexpr long kLargestTimeoutSeconds = 24 * 60 * 60;

std::string EnvironmentText(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// Up to `limit` + 1 bytes of a regular file, so that a larger one shows; nothing when it cannot
// be read. Opened without waiting, so that a named pipe given by mistake cannot hang the run.
std::optional<std::string> ReadBoundedFile(const char* path, std::size_t limit) {
  int descriptor = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (descriptor < 0) {
    return std::nullopt;
  }
  struct stat status {};
  std::optional<std::string> content;
  if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
    content.emplace();
    char buffer[4096];
    while (content && content->size() <= limit) {
      ssize_t count = ::read(descriptor, buffer, sizeof buffer);
      if (count == 0) {
        break;
      }
      if (count > 0) {
        content->append(buffer, static_cast<std::size_t>(count));
      } else if (errno != EINTR) {
        content.reset();
      }
    }
  }
  ::close(descriptor);
  return content;
}

// The seconds of a usable LEASEDUMP_TIMEOUT text.
std::optional<long> TimeoutSecondsOf(const char* text) {
  std::string_view digits(text != nullptr ? text : "");
  if (digits.empty() || digits.size() > 6) {
    return std::nullopt;
  }
  long seconds = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    seconds = seconds * 10 + (c - '0');
  }
  if (seconds < 1 || seconds > kLargestTimeoutSeconds) {
    return std::nullopt;
  }
  return seconds;
}

void SayOnce(const std::string& notice) {
  static bool said = false;
  if (!notice.empty() && !said) {
    said = true;
    // A standard error that cannot be written leaves nowhere to say it; the run goes on.
    platform::WriteStandardError(notice);
  }
}

}  // namespace

long TimeoutSecondsFrom(const char* text) {
  return TimeoutSecondsOf(text).value_or(kDefaultTimeoutSeconds);
}

std::string UnusableTimeoutNotice(const char* text) {
  if (text == nullptr || TimeoutSecondsOf(text)) {
    return {};
  }
  return "leasedump: LEASEDUMP_TIMEOUT \"" + std::string(text) +
         "\" is not a whole number of seconds from 1 to " + std::to_string(kLargestTimeoutSeconds) +
         "; using " + std::to_string(kDefaultTimeoutSeconds) + "\r\n";
}

std::optional<std::string> PasswordFromFile(const char* path) {
  std::optional<std::string> content = ReadBoundedFile(path, kMaxPasswordFileBytes);
  if (!content || content->size() > kMaxPasswordFileBytes) {
    return std::nullopt;
  }
  if (content->ends_with('\n')) {
    content->pop_back();
    if (content->ends_with('\r')) {
      content->pop_back();
    }
  }
  return content;
}

std::optional<std::string> CaCertificatesFromFile(const char* path) {
  std::optional<std::string> content = ReadBoundedFile(path, kMaxCaFileBytes);
  if (!content || content->size() > kMaxCaFileBytes) {
    return std::nullopt;
  }
  return content;
}

KeaSettings ReadKeaSettings() {
  KeaSettings settings;
  const char* timeout = std::getenv("LEASEDUMP_TIMEOUT");
  settings.timeoutSeconds = TimeoutSecondsFrom(timeout);
  SayOnce(UnusableTimeoutNotice(timeout));
  settings.user = EnvironmentText("LEASEDUMP_USER");
  settings.caFile = EnvironmentText("LEASEDUMP_CA_FILE");
  if (!settings.caFile.empty()) {
    std::optional<std::string> certificates = CaCertificatesFromFile(settings.caFile.c_str());
    settings.caCertificates = certificates.value_or("");
    settings.caUnreadable = !certificates;
  }
  if (const char* password = std::getenv("LEASEDUMP_PASSWORD")) {
    settings.password = password;
  } else if (const char* file = std::getenv("LEASEDUMP_PASSWORD_FILE")) {
    std::optional<std::string> password = PasswordFromFile(file);
    settings.password = password.value_or("");
    settings.passwordUnreadable = !password;
  }
  return settings;
}

}  // namespace platform::kea
