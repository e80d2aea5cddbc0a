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
    lanes_.Took(std::chrono::steady_clock::now() - sending->second.at, underWay_.size());
  }
  underWay_.erase(sending);
  window_.Take(reply.tag, PageOf(reply.reply));
}

std::uint32_t WindowedPages::Next(std::vector<sources::SourceLease>& leases) {
  for (;;) {
    if (std::optional<std::uint32_t> status = window_.Deliver(leases)) {
      return *status;
    }
    SendWhatMayGo();
    std::vector<TaggedReply> replies = exchange_.Collect();
    if (replies.empty()) {
      // Nothing under way and nothing to ask, yet the range waits: never meant to happen, and
      // never a wait without end.
      window_.Clear();
      return dhcp_status::kInvalidData;
    }
    for (TaggedReply& reply : replies) {
      Take(reply);
    }
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
