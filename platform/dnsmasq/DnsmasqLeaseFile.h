#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/sources/LeaseTable.h"

namespace platform::dnsmasq {

// The longest line taken: a lease line holds a host name (at most 255 bytes) and a client id
// (at most 255 bytes, written as hex with colons), far below this.
inline constexpr std::size_t kLongestLeaseLine = 16 * 1024;

// Reads dnsmasq's lease file: one current lease a line, `EXPIRY MAC IP HOSTNAME CLIENT-ID`
// (src/lease.c in dnsmasq). EXPIRY is seconds since 1970 UTC, 0 for a lease that never ends; a
// MAC of other hardware than Ethernet, or an empty one, starts with its type in hex and a `-`
// (`06-...`, `20-` alone); a HOSTNAME of `*` is none. The `duid` line, the IPv6 leases after it
// and any other line (some builds add others) are no IPv4 leases and are skipped: a line is one
// when its first field is a number and its third an IPv4 address. Such a line whose other fields
// are not of dnsmasq's form makes the file invalid, as does a line past kLongestLeaseLine. An
// address on two lines (which dnsmasq never writes) holds what the last says.
class DnsmasqLeaseReader {
 public:
  // False once the bytes are not a dnsmasq lease file; later chunks are then not looked at.
  bool Take(std::string_view chunk);
  // The leases after the last chunk (a last line without its line end counts); none when the
  // file is invalid.
  std::optional<sources::LeaseTable> Finish() &&;

 private:
  bool TakeLine(std::string_view line);

  sources::LeaseTableBuilder leases_;
  std::string partial_;  // the start of a line that the last chunk did not end
  bool failed_ = false;
};

// A whole file at once.
std::optional<sources::LeaseTable> ParseDnsmasqLeases(std::string_view file);

}  // namespace platform::dnsmasq
