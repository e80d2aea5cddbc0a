#include "platform/kea/ProgressWatch.h"

namespace platform::kea {

ProgressWatch::ProgressWatch(std::chrono::seconds limit, Clock::time_point start)
    : limit_(limit), lastProgress_(start) {}

bool ProgressWatch::Expired(Clock::time_point now, std::uint64_t received, std::uint64_t sent) {
  if (received != received_ || sent != sent_) {
    received_ = received;
    sent_ = sent;
    lastProgress_ = now;
    return false;
  }
  return now - lastProgress_ >= limit_;
}

}  // namespace platform::kea
