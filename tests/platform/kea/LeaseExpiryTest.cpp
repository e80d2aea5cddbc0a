#include "platform/kea/LeaseExpiry.h"

#include <gtest/gtest.h>

#include "platform/kea/KeaReply.h"

namespace platform::kea {
namespace {

std::uint64_t TicksOf(DATE_TIME time) {
  return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

TEST(LeaseExpiry, LeasesThatNeverEndGetTheLargestTime) {
  const std::uint64_t largest = 0x7FFFFFFFFFFFFFFFull;
  EXPECT_EQ(TicksOf(LeaseExpiry(3999996400, kInfiniteLifetime)), largest);
  EXPECT_EQ(TicksOf(LeaseExpiry(0xFFFFFFFFFFFFFFFFull, 3600)), largest);
  EXPECT_EQ(TicksOf(LeaseExpiry(0, 0)), 11644473600ull * 10000000ull);
}

}  // namespace
}  // namespace platform::kea
