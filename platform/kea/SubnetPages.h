#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/DhcpApi.h"
#include "platform/kea/KeaReply.h"

namespace platform::kea {

// Kea's subnets at one network address. The DHCP API names a subnet by that address alone, while
// Kea accepts subnets of different prefix lengths there (10.1.0.0/16 beside 10.1.0.0/24): they
// are read together, over the widest range, which covers every one of them.
class SubnetScope {
 public:
  explicit SubnetScope(const KeaSubnet& first);

  void Add(const KeaSubnet& subnet);

  std::uint32_t FirstAddress() const { return first_; }
  std::uint32_t LastAddress() const { return last_; }
  bool Holds(const KeaLease& lease) const;
  // The mask of the lease's own subnet; the lease must be one that Holds.
  DHCP_IP_MASK MaskOf(const KeaLease& lease) const;

 private:
  const KeaSubnet* OwnSubnetOf(const KeaLease& lease) const;

  std::uint32_t first_;
  std::uint32_t last_;
  std::vector<KeaSubnet> subnets_;
};

// One page of leases in ascending address order: those after `after` (from the first when
// nullopt), at most `limit` of them; a shorter page is the last.
using LeasePageReader = std::function<KeaReply<std::vector<KeaLease>>(
    std::optional<std::uint32_t> after, std::uint32_t limit)>;

struct SubnetBatch {
  // kSuccess: the scope is complete; kMoreData: call again with `resume`; otherwise the failure.
  std::uint32_t status = dhcp_status::kSuccess;
  std::vector<KeaLease> leases;  // the scope's own, ascending
  DHCP_RESUME_HANDLE resume = 0;
};

// The next batch of a scope's leases, from the resume handle of the previous batch. The handle is
// the offset of the next address to read from the scope's first: 0 starts at the beginning, and
// every batch of kMoreData moves it past the last lease of that batch. A handle past the scope's
// end has nothing more (kNoMoreItems). Pages that bring none of the scope's leases are read on at
// once, so that every kMoreData batch holds leases and moves the handle on. Any failed or
// disordered page ends the walk with its status and no leases.
SubnetBatch ReadSubnetBatch(const SubnetScope& scope, DHCP_RESUME_HANDLE resume,
                            std::uint32_t limit, const LeasePageReader& readPage);

// The handle after the last batch of a scope: a call with it has nothing more. (A 0.0.0.0/0 scope
// has no such handle in 32 bits; its end handle rereads the broadcast address, where no lease is.)
DHCP_RESUME_HANDLE EndOfScope(const SubnetScope& scope);

}  // namespace platform::kea
