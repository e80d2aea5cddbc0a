#pragma once

// A Kea reduced to its lease4-get-page, for the tests and the fuzz target of pages read side by
// side: the leases as Kea pages them, the request and reply texts a fake exchange passes, and
// the two Kea sources whose exports must agree (side by side, and one page after another).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/DhcpStatus.h"
#include "platform/kea/KeaLeasePages.h"
#include "platform/kea/WindowedPages.h"
#include "platform/sources/Ipv4Text.h"
#include "platform/sources/LeaseSource.h"

namespace fake_kea {

namespace kea = platform::kea;
namespace sources = platform::sources;

// Kea's leases, paged as lease4-get-page pages them: those after the page's start, in the order
// held (ascending, unless a test means otherwise).
struct PagedLeases {
  std::vector<std::uint32_t> addresses;

  std::vector<std::uint32_t> Page(std::optional<std::uint32_t> after, std::uint32_t limit) const {
    auto from = after ? std::find_if(addresses.begin(), addresses.end(),
                                     [&](std::uint32_t address) { return address > *after; })
                      : addresses.begin();
    auto to = from + std::min<std::ptrdiff_t>(limit, addresses.end() - from);
    return {from, to};
  }
};

// A page asked for: at most `limit` leases after `after` (from the first when nothing).
struct PageRequest {
  std::optional<std::uint32_t> after;
  std::uint32_t limit = 0;
};

// The request text WindowedPages hands a fake exchange, read back by ParsePageRequest.
inline std::string PageRequestText(std::optional<std::uint32_t> after, std::uint32_t limit) {
  return (after ? std::to_string(*after) : "start") + " " + std::to_string(limit);
}

inline PageRequest ParsePageRequest(const std::string& text) {
  std::size_t space = text.find(' ');
  std::string after = text.substr(0, space);
  PageRequest request{std::nullopt, static_cast<std::uint32_t>(std::stoul(text.substr(space + 1)))};
  if (after != "start") {
    request.after = static_cast<std::uint32_t>(std::stoul(after));
  }
  return request;
}

// A page as Kea answers it: result 3 when it holds no lease.
inline std::string PageReplyText(const std::vector<std::uint32_t>& page) {
  std::string text =
      R"({"result": )" + std::string(page.empty() ? "3" : "0") + R"(, "arguments": {"leases": [)";
  for (std::size_t i = 0; i < page.size(); ++i) {
    text.append(i == 0 ? "" : ",").append(R"({"ip-address": ")");
    text.append(sources::FormatIpv4Address(page[i])).append(R"(", "subnet-id": 1})");
  }
  return text + "]}}";
}

// The leases side by side, as KeaSource reads them over HTTP: every other command stops the
// pages read ahead.
class WindowedSource : public sources::LeaseSource {
 public:
  WindowedSource(std::vector<sources::Ipv4Prefix> subnets, kea::ConcurrentExchange& kea,
                 std::uint32_t pageLimit, std::size_t maxHeld)
      : subnets_(std::move(subnets)), pages_(kea, PageRequestText, pageLimit, maxHeld) {}

  sources::SourceReply<sources::SourceVersion> GetVersion() override {
    pages_.Abandon();
    return {dhcp_status::kSuccess, {}};
  }
  sources::SourceReply<std::vector<sources::Ipv4Prefix>> GetSubnets() override {
    pages_.Abandon();
    return {dhcp_status::kSuccess, subnets_};
  }
  std::unique_ptr<sources::LeaseCursor> ReadRange(
      sources::AddressRange range, std::span<const sources::AddressRange> following) override {
    pages_.Begin(range, following);
    return std::make_unique<kea::WindowedRangeCursor>(pages_);
  }

 private:
  std::vector<sources::Ipv4Prefix> subnets_;
  kea::WindowedPages pages_;
};

// The same leases one page after another: what the export must be. Counts the ranges walked
// and the pages asked for.
class SequentialSource : public sources::LeaseSource {
 public:
  SequentialSource(std::vector<sources::Ipv4Prefix> subnets, const PagedLeases& leases,
                   std::uint32_t pageLimit)
      : subnets_(std::move(subnets)), leases_(leases), pageLimit_(pageLimit) {}

  sources::SourceReply<sources::SourceVersion> GetVersion() override {
    return {dhcp_status::kSuccess, {}};
  }
  sources::SourceReply<std::vector<sources::Ipv4Prefix>> GetSubnets() override {
    return {dhcp_status::kSuccess, subnets_};
  }
  std::unique_ptr<sources::LeaseCursor> ReadRange(sources::AddressRange range,
                                                  std::span<const sources::AddressRange>) override {
    ++ranges;
    return std::make_unique<kea::KeaRangeCursor>(range, pageLimit_, [this](auto after, auto limit) {
      ++pages;
      kea::KeaReply<std::vector<kea::KeaLease>> reply{dhcp_status::kSuccess, {}};
      for (std::uint32_t address : leases_.Page(after, limit)) {
        reply.value.push_back(kea::KeaLease{address, 1, {}, {}, 0, 0});
      }
      return reply;
    });
  }

  std::size_t pages = 0;
  std::size_t ranges = 0;

 private:
  std::vector<sources::Ipv4Prefix> subnets_;
  const PagedLeases& leases_;
  std::uint32_t pageLimit_;
};

}  // namespace fake_kea
