#include "platform/kea/KeaSettings.h"

#include <cstdlib>
#include <string_view>

namespace platform::kea {
namespace {

// A day is far beyond any answer Kea gives and keeps the value clear of overflow.
constexpr long kLargestTimeoutSeconds = 24 * 60 * 60;

std::string EnvironmentText(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

long TimeoutSecondsFrom(const char* text) {
  if (text == nullptr) {
    return kDefaultTimeoutSeconds;
  }
  std::string_view digits(text);
  if (digits.empty() || digits.size() > 6) {
    return kDefaultTimeoutSeconds;
  }
  long seconds = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') {
      return kDefaultTimeoutSeconds;
    }
    seconds = seconds * 10 + (c - '0');
  }
  if (seconds < 1 || seconds > kLargestTimeoutSeconds) {
    return kDefaultTimeoutSeconds;
  }
  return seconds;
}

KeaSettings ReadKeaSettings() {
  KeaSettings settings;
  settings.timeoutSeconds = TimeoutSecondsFrom(std::getenv("LEASEDUMP_TIMEOUT"));
  settings.user = EnvironmentText("LEASEDUMP_USER");
  settings.password = EnvironmentText("LEASEDUMP_PASSWORD");
  settings.caFile = EnvironmentText("LEASEDUMP_CA_FILE");
  return settings;
}

}  // namespace platform::kea
