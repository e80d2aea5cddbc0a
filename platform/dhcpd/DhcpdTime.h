#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace platform::dhcpd {

// A moment as dhcpd's lease file writes it after `starts`, `ends` and the like: `never`,
// `epoch SECONDS` (under `db-time-format local`), or `WEEKDAY YYYY/MM/DD HH:MM:SS` in UTC.
struct LeaseTime {
  bool valid = false;
  std::optional<std::int64_t> seconds;  // since 1970-01-01 UTC; none for `never`
};

// The words of the statement after its keyword, up to the `;`.
LeaseTime ParseLeaseTime(std::span<const std::string_view> words);

}  // namespace platform::dhcpd
