#include "platform/sources/LeaseExpiry.h"

#include <gtest/gtest.h>

namespace platform::sources {
namespace {

std::uint64_t TicksOf(DATE_TIME time) {
  return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

TEST(LeaseExpiry, LeasesThatNeverEndGetTheLargestTime) {
  const std::uint64_t largest = 0x7FFFFFFFFFFFFFFFull;
  const std::uint64_t lastSecond = largest / 10000000 - 11644473600ull;
  EXPECT_EQ(TicksOf(LeaseExpiry(std::nullopt)), largest);
  EXPECT_EQ(TicksOf(LeaseExpiry(0xFFFFFFFFFFFFFFFFull)), largest);
  EXPECT_EQ(TicksOf(LeaseExpiry(lastSecond + 1)), largest);
  EXPECT_EQ(TicksOf(LeaseExpiry(lastSecond)), (lastSecond + 11644473600ull) * 10000000ull);
  EXPECT_EQ(TicksOf(LeaseExpiry(0)), 11644473600ull * 10000000ull);
  EXPECT_EQ(TicksOf(LeaseExpiry(4000000000)), (4000000000ull + 11644473600ull) * 10000000ull);
}

}  // namespace
}  // namespace platform::sources
