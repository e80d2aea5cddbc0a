#pragma once

#include <string>

namespace platform::kea {

// Kea's control agent itself gives up forwarding a command after 60 seconds.
inline constexpr long kDefaultTimeoutSeconds = 60;

// What the client takes from the environment, and the only variables it reads.
struct KeaSettings {
  long timeoutSeconds = kDefaultTimeoutSeconds;  // LEASEDUMP_TIMEOUT
  std::string user;                              // LEASEDUMP_USER; empty: no authentication
  std::string password;                          // LEASEDUMP_PASSWORD
  std::string caFile;                            // LEASEDUMP_CA_FILE; empty: the system's CAs
};

KeaSettings ReadKeaSettings();

// A whole number of seconds from 1 up; anything else (absent, empty, zero, signs, letters,
// absurdly large) gives the default rather than a timeout nobody asked for.
long TimeoutSecondsFrom(const char* text);

}  // namespace platform::kea
