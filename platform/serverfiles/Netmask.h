#pragma once

#include <cstdint>
#include <optional>

namespace platform::serverfiles {

// The prefix length of a netmask (host order) whose one bits run together from the top; none
// for any other mask, which no prefix names.
inline std::optional<std::uint8_t> PrefixLengthOfNetmask(std::uint32_t mask) {
  std::uint8_t length = 0;
  while (length < 32 && (mask & (0x80000000u >> length)) != 0) {
    ++length;
  }
  std::uint32_t rest = length == 32 ? 0 : 0xFFFFFFFFu >> length;
  if ((mask & rest) != 0) {
    return std::nullopt;
  }
  return length;
}

}  // namespace platform::serverfiles
