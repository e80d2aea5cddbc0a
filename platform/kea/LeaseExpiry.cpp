#include "platform/kea/LeaseExpiry.h"

#include <limits>

#include "platform/kea/KeaReply.h"

namespace platform::kea {

DATE_TIME LeaseExpiry(std::uint64_t lastTransactionTime, std::uint32_t validLifetime) {
  constexpr std::uint64_t kSecondsFrom1601To1970 = 11644473600;
  constexpr std::uint64_t kTicksPerSecond = 10000000;
  constexpr std::uint64_t kLargest = std::numeric_limits<std::int64_t>::max();
  std::uint64_t ticks = kLargest;
  if (validLifetime != kInfiniteLifetime &&
      lastTransactionTime <= kLargest / kTicksPerSecond - kSecondsFrom1601To1970 - validLifetime) {
    ticks = (lastTransactionTime + validLifetime + kSecondsFrom1601To1970) * kTicksPerSecond;
  }
  return DATE_TIME{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}
}  // namespace platform::kea
