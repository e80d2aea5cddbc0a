#include "platform/kea/LaneCount.h"

#include <gtest/gtest.h>

#include <chrono>

namespace platform::kea {
namespace {

using std::chrono::milliseconds;

// A server that answers a page in `service` after a round trip of `roundTrip`, one page at a
// time: with n under way, a page waits behind those ahead of it.
std::size_t Settle(milliseconds roundTrip, milliseconds service, std::size_t most) {
  LaneCount lanes(2, most);
  for (int page = 0; page < 400; ++page) {
    std::size_t underWay = lanes.Allowed();
    milliseconds busy = service * static_cast<long>(underWay);
    milliseconds latency = std::max(roundTrip + service, busy);
    lanes.Took(latency, underWay);
  }
  return lanes.Allowed();
}

TEST(LaneCount, AsManyAsHideTheRoundTripAndAFewWaiting) {
  struct Row {
    milliseconds roundTrip;
    milliseconds service;
    std::size_t least;
    std::size_t most;
  };
  const Row rows[] = {
      {milliseconds(0), milliseconds(5), 2, 6},      // no delay: a few, never many
      {milliseconds(50), milliseconds(5), 10, 16},   // a VPN: its round trip filled
      {milliseconds(200), milliseconds(5), 16, 16},  // farther: the bound, never beyond
      {milliseconds(50), milliseconds(60), 2, 7},    // a slow server: a few waiting, no more
  };
  for (const Row& row : rows) {
    std::size_t settled = Settle(row.roundTrip, row.service, 16);
    EXPECT_GE(settled, row.least) << row.roundTrip.count() << " ms, " << row.service.count();
    EXPECT_LE(settled, row.most) << row.roundTrip.count() << " ms, " << row.service.count();
  }
}

TEST(LaneCount, StaysWithinItsBounds) {
  LaneCount lanes(2, 4);
  for (int page = 0; page < 50; ++page) {
    lanes.Took(milliseconds(10), 1);
  }
  EXPECT_EQ(lanes.Allowed(), 4u);
  for (int page = 0; page < 50; ++page) {
    lanes.Took(milliseconds(1000), 16);
  }
  EXPECT_EQ(lanes.Allowed(), 2u);
}

}  // namespace
}  // namespace platform::kea
