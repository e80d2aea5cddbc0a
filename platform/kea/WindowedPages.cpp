#include "platform/kea/WindowedPages.h"

#include <algorithm>
#include <utility>

namespace platform::kea {
namespace {

KeaReply<std::vector<KeaLease>> PageOf(const TransportReply& reply) {
  if (reply.status != dhcp_status::kSuccess) {
    return {reply.status, {}};
  }
  return DecodeLeasesReply(reply.body);
}

// Two under way at the start, one answered while the other is sent, whatever the link.
constexpr std::size_t kLeastUnderWay = 2;

}  // namespace

WindowedPages::WindowedPages(ConcurrentExchange& exchange, PageRequestText requestText,
                             std::uint32_t pageLimit, std::size_t maxHeld)
    : exchange_(exchange),
      requestText_(std::move(requestText)),
      pageLimit_(pageLimit),
      window_(pageLimit, maxHeld),
      lanes_(kLeastUnderWay, exchange.Lanes()) {}

void WindowedPages::Begin(sources::AddressRange range,
                          std::span<const sources::AddressRange> following) {
  window_.Begin(range, following);
}

void WindowedPages::SendWhatMayGo() {
  while (underWay_.size() < std::min(exchange_.Lanes(), lanes_.Allowed())) {
    std::optional<PageAsk> ask = window_.NextAsk(underWay_.size());
    if (!ask) {
      return;
    }
    exchange_.Send(ask->id, requestText_(ask->after, ask->limit), kMaxPageReplyBytes);
    underWay_[ask->id] = {std::chrono::steady_clock::now(), ask->limit == pageLimit_};
  }
}

void WindowedPages::Take(TaggedReply& reply) {
  auto sending = underWay_.find(reply.tag);
  if (sending == underWay_.end()) {
    return;
  }
  if (sending->second.fullPage && reply.reply.status == dhcp_status::kSuccess) {
    LaneCount::Duration latency = reply.answered
                                      ? LaneCount::Duration(*reply.answered)
                                      : std::chrono::steady_clock::now() - sending->second.at;
    lanes_.Took(latency, underWay_.size());
  }
  underWay_.erase(sending);
  window_.Take(reply.tag, PageOf(reply.reply));
}

// The replies that have come are taken and their connections given new asks at every step, not
// only when the range waits: a reply left waiting while leases are handed on would idle its
// connection, and count as slower than it was.
std::uint32_t WindowedPages::Next(std::vector<sources::SourceLease>& leases) {
  bool wait = false;
  for (;;) {
    if (!underWay_.empty()) {
      std::vector<TaggedReply> replies = exchange_.Collect(wait);
      for (TaggedReply& reply : replies) {
        Take(reply);
      }
    }
    SendWhatMayGo();
    if (std::optional<std::uint32_t> status = window_.Deliver(leases)) {
      return *status;
    }
    if (underWay_.empty()) {
      // Nothing under way and nothing to ask, yet the range waits: never meant to happen, and
      // never a wait without end.
      window_.Clear();
      return dhcp_status::kInvalidData;
    }
    wait = true;
  }
}

void WindowedPages::Abandon() {
  if (!underWay_.empty()) {
    exchange_.Abandon();
    underWay_.clear();
  }
  window_.Clear();
}

}  // namespace platform::kea
