#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/kea/KeaTransport.h"
#include "platform/kea/LaneCount.h"
#include "platform/kea/PageWindow.h"
#include "platform/sources/LeaseSource.h"

namespace platform::kea {

// The request text of lease4-get-page: at most `limit` leases after `after`.
using PageRequestText =
    std::function<std::string(std::optional<std::uint32_t> after, std::uint32_t limit)>;

// A PageWindow's asks sent side by side over a ConcurrentExchange, as many at once as LaneCount
// allows, and its leases handed on as the range cursor of the range begun last. Single-threaded:
// the waits of all the requests under way are one wait.
class WindowedPages {
 public:
  WindowedPages(ConcurrentExchange& exchange, PageRequestText requestText, std::uint32_t pageLimit,
                std::size_t maxHeld);

  void Begin(sources::AddressRange range, std::span<const sources::AddressRange> following);

  // As LeaseCursor::Next, for the range begun.
  std::uint32_t Next(std::vector<sources::SourceLease>& leases);

  // Drops what is under way and held, before the transport is used for anything else.
  void Abandon();

 private:
  struct Sending {
    std::chrono::steady_clock::time_point at;
    bool fullPage = false;
  };

  void SendWhatMayGo();
  void Take(TaggedReply& reply);

  ConcurrentExchange& exchange_;
  PageRequestText requestText_;
  std::uint32_t pageLimit_;
  PageWindow window_;
  LaneCount lanes_;
  std::map<std::uint64_t, Sending> underWay_;  // by ask id
};

// The cursor of the range that `pages` began last; one such cursor is read at a time.
class WindowedRangeCursor : public sources::LeaseCursor {
 public:
  explicit WindowedRangeCursor(WindowedPages& pages) : pages_(pages) {}

  std::uint32_t Next(std::vector<sources::SourceLease>& leases) override {
    return pages_.Next(leases);
  }

 private:
  WindowedPages& pages_;
};

}  // namespace platform::kea
