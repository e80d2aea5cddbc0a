#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/DhcpApi.h"
#include "platform/sources/LeaseSource.h"
#include "platform/sources/SubnetPositions.h"

namespace platform::sources {

// One batch of DhcpEnumSubnetClients.
struct ClientBatch {
  // kSuccess: the subnet is complete with these; kMoreData: call again with `resume`; otherwise
  // the failure, with no leases.
  std::uint32_t status = dhcp_status::kSuccess;
  std::vector<SourceLease> leases;  // the position's own, ascending
  std::vector<DHCP_IP_MASK> masks;  // masks[i]: that of the subnet that holds leases[i]
  DHCP_RESUME_HANDLE resume = 0;    // the handle for the call after this batch
};

// The DHCP API's calls answered by one source, in the API's terms: subnets named by their network
// addresses (SubnetPositions), and each subnet's leases in batches with resume handles.
//
// A client resume handle is the offset of the next address to read from the subnet's network
// address: 0 starts at the beginning, and each batch of kMoreData moves it past its last lease. A
// handle past the subnet's last address has nothing more (kNoMoreItems). Every batch of kMoreData
// holds leases, so the handle always moves on. A walk's cursor is kept from batch to batch while
// the calls come in order (the next call brings the handle just given out), so that a source can
// keep what it has read ahead; any other handle starts a new walk there. A failed step of a walk
// ends it with its status and no leases, so a subnet is never given in part as if whole.
class SourceServer {
 public:
  explicit SourceServer(std::unique_ptr<LeaseSource> source);

  SourceReply<SourceVersion> GetVersion();

  // The network addresses of the server's subnets, each once, in the order of its configuration;
  // asked of the source again at every call.
  SourceReply<std::vector<DHCP_IP_ADDRESS>> GetSubnets();

  // The batch of the subnet at that network address from the resume handle. A subnet the last
  // enumeration did not report (or before any) makes the source's subnets be asked again; one that
  // is still not there is kSubnetNotPresent.
  ClientBatch GetClients(DHCP_IP_ADDRESS subnet, DHCP_RESUME_HANDLE resume);

  // The handle after the last batch of the position: a call with it has nothing more. (A
  // 0.0.0.0/0 subnet has no such handle in 32 bits; its end handle rereads the broadcast address,
  // where no lease is.)
  static DHCP_RESUME_HANDLE EndOf(const SubnetPositions::Position& position);

 private:
  // Where a walk over a position's ranges stands between batches.
  struct Walk {
    DHCP_IP_ADDRESS position = 0;
    DHCP_RESUME_HANDLE resume = 0;  // the handle of the batch that continues it
    std::size_t range = 0;          // in SubnetPositions::Ranges()
    std::size_t endRange = 0;       // the position's last range + 1
    AddressRange reading;           // of the range, what the cursor was asked for
    std::optional<std::uint32_t> lastRead;
    std::unique_ptr<LeaseCursor> cursor;
  };

  std::uint32_t RememberSubnets();
  const SubnetPositions::Position* FindPosition(DHCP_IP_ADDRESS subnet, std::uint32_t& status);
  Walk StartWalk(const SubnetPositions::Position& position, DHCP_RESUME_HANDLE resume) const;
  std::uint32_t Step(Walk& walk, std::vector<SourceLease>& leases);

  std::unique_ptr<LeaseSource> source_;
  SubnetPositions positions_;
  std::optional<Walk> walk_;
};

}  // namespace platform::sources
