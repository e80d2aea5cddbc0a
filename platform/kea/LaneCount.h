#pragma once

#include <chrono>
#include <cstddef>
#include <optional>

namespace platform::kea {

// How many pages to have under way at once: enough to hide the round trip, and no more than
// keeps a few requests waiting at the server. Kea answers one command at a time, so a request
// beyond those only waits there, and every other client of its control channel waits behind all
// of them. The count follows the latency of full pages as TCP Vegas follows round trips: the
// least latency seen is that of a page that did not wait, and by how much the recent latency
// exceeds it tells how many of those under way are waiting (under way x (1 - least / recent)).
// Fewer than two waiting: one more may go; more than five: one fewer. Over a link of no delay
// that keeps a few under way, over a distant one as many as its round trip holds; another client
// of the server waits behind a few pages at most (measured: under 0.1 s).
class LaneCount {
 public:
  using Duration = std::chrono::steady_clock::duration;

  LaneCount(std::size_t least, std::size_t most);

  std::size_t Allowed() const { return allowed_; }

  // A full page's latency, from its sending to its whole reply, which came back while `underWay`
  // requests were under way, itself among them.
  void Took(Duration latency, std::size_t underWay);

 private:
  std::size_t least_;
  std::size_t most_;
  std::size_t allowed_;
  std::optional<Duration> fastest_;
  Duration recent_{};
};

}  // namespace platform::kea
