#include "platform/sources/LeaseExpiry.h"

#include <limits>

namespace platform::sources {

DATE_TIME LeaseExpiry(std::optional<std::uint64_t> expires) {
  constexpr std::uint64_t kSecondsFrom1601To1970 = 11644473600;
  constexpr std::uint64_t kTicksPerSecond = 10000000;
  constexpr std::uint64_t kLargest = std::numeric_limits<std::int64_t>::max();
  std::uint64_t ticks = kLargest;
  if (expires && *expires <= kLargest / kTicksPerSecond - kSecondsFrom1601To1970) {
    ticks = (*expires + kSecondsFrom1601To1970) * kTicksPerSecond;
  }
  return DATE_TIME{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}

}  // namespace platform::sources
