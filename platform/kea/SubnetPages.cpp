#include "platform/kea/SubnetPages.h"

#include <algorithm>
#include <utility>

#include "platform/sources/Ipv4Text.h"

namespace platform::kea {
namespace {

using sources::LastAddressOf;
using sources::MaskOfPrefixLength;

// Where a page walk stands: the last address read (none before the scope's first address 0).
std::optional<std::uint32_t> LastReadBefore(const SubnetScope& scope, DHCP_RESUME_HANDLE resume) {
  std::uint32_t next = scope.FirstAddress() + resume;
  return next == 0 ? std::nullopt : std::optional<std::uint32_t>(next - 1);
}

DHCP_RESUME_HANDLE ResumeAfter(const SubnetScope& scope, std::uint32_t lastRead) {
  return lastRead + 1 - scope.FirstAddress();
}

SubnetBatch Failed(std::uint32_t status) {
  SubnetBatch batch;
  batch.status = status;
  return batch;
}

// Kea lists leases strictly after the page's start, in ascending order; anything else would let
// the walk repeat or skip leases.
bool InOrder(const std::vector<KeaLease>& page, std::optional<std::uint32_t> previous) {
  for (const KeaLease& lease : page) {
    if (previous && lease.address <= *previous) {
      return false;
    }
    previous = lease.address;
  }
  return true;
}

// Keeps the page's leases of the scope; true when the page reached the scope's end or the end of
// all leases.
bool TakeScopeLeases(const SubnetScope& scope, std::vector<KeaLease>& page, std::uint32_t limit,
                     std::vector<KeaLease>& kept) {
  for (KeaLease& lease : page) {
    if (lease.address > scope.LastAddress()) {
      return true;
    }
    if (lease.address >= scope.FirstAddress() && scope.Holds(lease)) {
      kept.push_back(std::move(lease));
    }
  }
  return page.size() < limit || page.back().address == scope.LastAddress();
}

}  // namespace

SubnetScope::SubnetScope(const KeaSubnet& first)
    : first_(first.prefix.address), last_(LastAddressOf(first.prefix)), subnets_{first} {}

void SubnetScope::Add(const KeaSubnet& subnet) {
  subnets_.push_back(subnet);
  last_ = std::max(last_, LastAddressOf(subnet.prefix));
}

const KeaSubnet* SubnetScope::OwnSubnetOf(const KeaLease& lease) const {
  auto found = std::find_if(subnets_.begin(), subnets_.end(),
                            [&](const KeaSubnet& subnet) { return subnet.id == lease.subnetId; });
  return found != subnets_.end() ? &*found : nullptr;
}

bool SubnetScope::Holds(const KeaLease& lease) const {
  return OwnSubnetOf(lease) != nullptr;
}

DHCP_IP_MASK SubnetScope::MaskOf(const KeaLease& lease) const {
  const KeaSubnet* own = OwnSubnetOf(lease);
  return MaskOfPrefixLength((own != nullptr ? *own : subnets_.front()).prefix.length);
}

SubnetBatch ReadSubnetBatch(const SubnetScope& scope, DHCP_RESUME_HANDLE resume,
                            std::uint32_t limit, const LeasePageReader& readPage) {
  if (resume > scope.LastAddress() - scope.FirstAddress()) {
    return Failed(dhcp_status::kNoMoreItems);
  }
  std::optional<std::uint32_t> after = LastReadBefore(scope, resume);
  SubnetBatch batch;
  for (;;) {
    KeaReply<std::vector<KeaLease>> page = readPage(after, limit);
    if (page.status != dhcp_status::kSuccess) {
      return Failed(page.status);
    }
    if (!InOrder(page.value, after)) {
      return Failed(dhcp_status::kInvalidData);
    }
    if (TakeScopeLeases(scope, page.value, limit, batch.leases)) {
      return batch;
    }
    after = page.value.back().address;
    if (!batch.leases.empty()) {
      batch.status = dhcp_status::kMoreData;
      batch.resume = ResumeAfter(scope, *after);
      return batch;
    }
  }
}

DHCP_RESUME_HANDLE EndOfScope(const SubnetScope& scope) {
  std::uint32_t span = scope.LastAddress() - scope.FirstAddress();
  return span == 0xFFFFFFFFu ? span : span + 1;
}

}  // namespace platform::kea
