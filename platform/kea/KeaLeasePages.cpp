#include "platform/kea/KeaLeasePages.h"

#include <limits>
#include <utility>

namespace platform::kea {

bool InAscendingOrderAfter(const std::vector<KeaLease>& page,
                           std::optional<std::uint32_t> previous) {
  for (const KeaLease& lease : page) {
    if (previous && lease.address <= *previous) {
      return false;
    }
    previous = lease.address;
  }
  return true;
}

sources::SourceLease SourceLeaseOf(KeaLease&& lease) {
  sources::SourceLease taken;
  taken.address = lease.address;
  taken.hardwareAddress = std::move(lease.hardwareAddress);
  taken.hostName = std::move(lease.hostName);
  taken.expires = ExpiryOf(lease);
  return taken;
}

KeaRangeCursor::KeaRangeCursor(sources::AddressRange range, std::uint32_t limit,
                               LeasePageReader readPage)
    : range_(range),
      limit_(limit),
      readPage_(std::move(readPage)),
      after_(range.first == 0 ? std::nullopt : std::optional<std::uint32_t>(range.first - 1)) {}

std::uint32_t KeaRangeCursor::Next(std::vector<sources::SourceLease>& leases) {
  if (done_) {
    return dhcp_status::kSuccess;
  }
  KeaReply<std::vector<KeaLease>> page = readPage_(after_, limit_);
  if (page.status != dhcp_status::kSuccess) {
    return page.status;
  }
  if (!InAscendingOrderAfter(page.value, after_)) {
    return dhcp_status::kInvalidData;
  }
  done_ = page.value.size() < limit_ || page.value.back().address >= range_.last;
  for (KeaLease& lease : page.value) {
    if (lease.address > range_.last) {
      break;
    }
    leases.push_back(SourceLeaseOf(std::move(lease)));
  }
  if (!page.value.empty()) {
    after_ = page.value.back().address;
  }
  return done_ ? dhcp_status::kSuccess : dhcp_status::kMoreData;
}

std::optional<std::uint64_t> ExpiryOf(const KeaLease& lease) {
  if (lease.validLifetime == kInfiniteLifetime ||
      lease.lastTransactionTime > std::numeric_limits<std::uint64_t>::max() - lease.validLifetime) {
    return std::nullopt;
  }
  return lease.lastTransactionTime + lease.validLifetime;
}

}  // namespace platform::kea
