#include "platform/kea/LaneCount.h"

#include <algorithm>

namespace platform::kea {
namespace {

// The recent latency weighs the newest page by a quarter, so that one slow page (the server
// writing its lease file, say) moves the count by one step, not at once to its least.
constexpr long kRecentWeight = 4;

// Between these many requests waiting at the server the count stays as it is.
constexpr double kFewestWaiting = 2.0;
constexpr double kMostWaiting = 5.0;

}  // namespace

LaneCount::LaneCount(std::size_t least, std::size_t most)
    : least_(least), most_(std::max(least, most)), allowed_(least) {}

void LaneCount::Took(Duration latency, std::size_t underWay) {
  latency = std::max(latency, Duration{1});
  if (!fastest_) {
    fastest_ = latency;
    recent_ = latency;
  }
  fastest_ = std::min(*fastest_, latency);
  recent_ = (recent_ * (kRecentWeight - 1) + latency) / kRecentWeight;
  const double waiting =
      static_cast<double>(underWay) *
      (1.0 - static_cast<double>(fastest_->count()) / static_cast<double>(recent_.count()));
  if (waiting < kFewestWaiting && allowed_ < most_) {
    ++allowed_;
  } else if (waiting > kMostWaiting && allowed_ > least_) {
    --allowed_;
  }
}

}  // namespace platform::kea
