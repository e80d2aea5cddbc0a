#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace platform::kea {

// Kea's control agent itself gives up forwarding a command after 60 seconds.
inline constexpr long kDefaultTimeoutSeconds = 60;

// A password file is a line; anything larger is not one.
inline constexpr std::size_t kMaxPasswordFileBytes = std::size_t{64} << 10;

// A private CA file holds a certificate or a short chain of a few kilobytes; the largest bundle of
// every public CA (Debian's ca-certificates.crt) is about 220 KB.
inline constexpr std::size_t kMaxCaFileBytes = std::size_t{1} << 20;

// What the client takes from the environment, and the only variables it reads.
struct KeaSettings {
  long timeoutSeconds = kDefaultTimeoutSeconds;  // LEASEDUMP_TIMEOUT
  std::string user;                              // LEASEDUMP_USER; empty: no authentication
  std::string password;  // LEASEDUMP_PASSWORD, else the content of LEASEDUMP_PASSWORD_FILE
  bool passwordUnreadable = false;  // LEASEDUMP_PASSWORD_FILE names a file that cannot be read
  std::string caFile;               // LEASEDUMP_CA_FILE; empty: the system's CAs
  std::string caCertificates;       // the content of caFile, when it could be read
  bool caUnreadable = false;        // caFile names a file that cannot be read
};

// The settings of the environment. A LEASEDUMP_TIMEOUT that cannot be used is said on standard
// error, once a run, with the value used instead.
KeaSettings ReadKeaSettings();

// A whole number of seconds from 1 up; anything else (absent, empty, zero, signs, letters,
// absurdly large) gives the default rather than a timeout nobody asked for.
long TimeoutSecondsFrom(const char* text);

// The line that says a LEASEDUMP_TIMEOUT of `text` is not used; empty when it is (or is absent).
std::string UnusableTimeoutNotice(const char* text);

// The content of the CA file at `path`. Nothing when it is not a regular file that can be read, or
// holds more than kMaxCaFileBytes: opened without waiting and read here, so that what names a
// pipe or a device can never hold the run (the TLS library would block opening it).
std::optional<std::string> CaCertificatesFromFile(const char* path);

// The password that the file at `path` holds: its content without one trailing LF or CR LF.
// Nothing when it is not a regular file that can be read, or holds more than
// kMaxPasswordFileBytes.
std::optional<std::string> PasswordFromFile(const char* path);

}  // namespace platform::kea
