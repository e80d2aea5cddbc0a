#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/kea/KeaReply.h"
#include "platform/sources/LeaseSource.h"

namespace platform::kea {

// One page of leases in ascending address order: those after `after` (from the first when
// nullopt), at most `limit` of them; a shorter page is the last.
using LeasePageReader = std::function<KeaReply<std::vector<KeaLease>>(
    std::optional<std::uint32_t> after, std::uint32_t limit)>;

// The leases of a range, one page of lease4-get-page a step: the first page starts after the
// address before the range, each next one after the last lease of the one before, and the walk
// ends with a short page, a page that reaches the range's last address, or a lease beyond it (the
// page's leases beyond the range are left). A page that is not in ascending order after its start
// ends the walk with kInvalidData.
class KeaRangeCursor : public sources::LeaseCursor {
 public:
  KeaRangeCursor(sources::AddressRange range, std::uint32_t limit, LeasePageReader readPage);

  std::uint32_t Next(std::vector<sources::SourceLease>& leases) override;

 private:
  sources::AddressRange range_;
  std::uint32_t limit_;
  LeasePageReader readPage_;
  std::optional<std::uint32_t> after_;
  bool done_ = false;
};

// Kea lists leases strictly after a page's start, in ascending order; anything else would let a
// walk repeat or skip leases.
bool InAscendingOrderAfter(const std::vector<KeaLease>& page, std::optional<std::uint32_t> after);

// The lease as every source gives it, its bytes moved out of Kea's.
sources::SourceLease SourceLeaseOf(KeaLease&& lease);

// When a lease of Kea's expires: its last transaction time plus its valid lifetime; nothing for a
// lease that never does (an infinite lifetime, or a sum beyond 64 bits).
std::optional<std::uint64_t> ExpiryOf(const KeaLease& lease);

}  // namespace platform::kea
