#pragma once

#include <chrono>
#include <cstdint>

namespace platform::kea {

// The no-progress limit of one request: it expires once no byte has moved in either direction
// for the whole limit. A server that trickles its reply, however slowly, is never cut while each
// byte follows the last within the limit; one that falls silent is cut after the limit. The
// counts are totals that grow with every byte received and sent; only their change matters.
class ProgressWatch {
 public:
  using Clock = std::chrono::steady_clock;

  ProgressWatch(std::chrono::seconds limit, Clock::time_point start);

  // Takes the totals seen at `now`; true when the limit has passed since the last change.
  bool Expired(Clock::time_point now, std::uint64_t received, std::uint64_t sent);

 private:
  std::chrono::seconds limit_;
  Clock::time_point lastProgress_;
  std::uint64_t received_ = 0;
  std::uint64_t sent_ = 0;
};

}  // namespace platform::kea
