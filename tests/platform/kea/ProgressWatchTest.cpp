#include "platform/kea/ProgressWatch.h"

#include <gtest/gtest.h>

namespace platform::kea {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

const ProgressWatch::Clock::time_point kStart{};

TEST(ProgressWatch, SilenceExpiresAfterTheLimitFromTheStart) {
  ProgressWatch watch(seconds(3), kStart);
  EXPECT_FALSE(watch.Expired(kStart + milliseconds(2999), 0, 0));
  EXPECT_TRUE(watch.Expired(kStart + seconds(3), 0, 0));
}

// Slower than a byte a second on average, yet never silent for the whole limit.
TEST(ProgressWatch, SlowTrickleNeverExpires) {
  ProgressWatch watch(seconds(2), kStart);
  for (int byte = 1; byte <= 30; ++byte) {
    auto arrival = kStart + milliseconds(1900) * byte;
    EXPECT_FALSE(watch.Expired(arrival - milliseconds(1), byte - 1, 0)) << byte;
    EXPECT_FALSE(watch.Expired(arrival, byte, 0)) << byte;
  }
  EXPECT_TRUE(watch.Expired(kStart + milliseconds(1900 * 30 + 2000), 30, 0));
}

TEST(ProgressWatch, SentBytesAreProgressToo) {
  ProgressWatch watch(seconds(2), kStart);
  EXPECT_FALSE(watch.Expired(kStart + milliseconds(1500), 0, 100));
  EXPECT_FALSE(watch.Expired(kStart + milliseconds(3000), 0, 200));
  EXPECT_FALSE(watch.Expired(kStart + milliseconds(4999), 0, 200));
  EXPECT_TRUE(watch.Expired(kStart + milliseconds(5000), 0, 200));
}

}  // namespace
}  // namespace platform::kea
