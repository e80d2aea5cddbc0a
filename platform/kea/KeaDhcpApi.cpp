// The DHCP Server Management API answered by a Kea server through its control API.

#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/DhcpApi.h"
#include "platform/TextEncoding.h"
#include "platform/kea/ControlTransport.h"
#include "platform/kea/DhcpBlocks.h"
#include "platform/kea/KeaClient.h"
#include "platform/kea/KeaEndpoint.h"
#include "platform/kea/SubnetPages.h"

namespace {

using platform::kea::ControlEndpoint;
using platform::kea::KeaClient;
using platform::kea::KeaLease;
using platform::kea::KeaSubnet;
using platform::kea::SubnetScope;

// How many leases one lease4-get-page asks for. Kea builds a whole answer in memory before it
// sends a byte, and answers no DHCP client meanwhile. Its cost per lease grows with the size of
// the answer (worst through the 2.2 agent, which parses and writes the answer again), so smaller
// pages are not slower in total: measured at 200,000 leases (bench/kea_end_to_end.py), pages of
// 500 (about 120 KB) held kea-dhcp4 for 0.01-0.06 s each and read everything as fast as pages of
// 250 or 1000, while 1000 held the agent's path for up to 0.17 s and took longer in total.
constexpr std::uint32_t kLeasePageLimit = 500;

// The server that the calls name, its transport (chosen once, at the first call), and the
// subnets its last enumeration reported: a client enumeration names its subnet by network
// address, Kea by id, and Kea may hold several subnets at one network address.
class ServerSession {
 public:
  explicit ServerSession(ControlEndpoint endpoint)
      : endpoint_(std::move(endpoint)),
        client_(platform::kea::OpenControlTransport(endpoint_, platform::kea::ReadKeaSettings())) {}

  const ControlEndpoint& Endpoint() const { return endpoint_; }
  KeaClient& Client() { return client_; }

  void RememberSubnets(const std::vector<KeaSubnet>& subnets) {
    scopes_.clear();
    addresses_.clear();
    for (const KeaSubnet& subnet : subnets) {
      auto [scope, added] = scopes_.try_emplace(subnet.prefix.address, subnet);
      if (added) {
        addresses_.push_back(subnet.prefix.address);
      } else {
        scope->second.Add(subnet);
      }
    }
  }

  // Each network address once, in the order of the server's configuration.
  const std::vector<DHCP_IP_ADDRESS>& Addresses() const { return addresses_; }

  const SubnetScope* FindScope(DHCP_IP_ADDRESS address) const {
    auto found = scopes_.find(address);
    return found != scopes_.end() ? &found->second : nullptr;
  }

 private:
  ControlEndpoint endpoint_;
  KeaClient client_;
  std::map<DHCP_IP_ADDRESS, SubnetScope> scopes_;
  std::vector<DHCP_IP_ADDRESS> addresses_;
};

// The session of the server text, kept from call to call so that the connection and the
// subnets stay; null when the text names no endpoint.
ServerSession* SessionOf(const char16_t* server) {
  static std::unique_ptr<ServerSession> current;
  std::optional<ControlEndpoint> endpoint =
      platform::kea::ControlEndpointOf(server != nullptr ? platform::NarrowFromWide(server) : "");
  if (!endpoint) {
    return nullptr;
  }
  if (!current || current->Endpoint() != *endpoint) {
    current.reset();
    current = std::make_unique<ServerSession>(*std::move(endpoint));
  }
  return current.get();
}

template <typename T>
void SetIfGiven(T* out, T value) {
  if (out != nullptr) {
    *out = value;
  }
}

// The subnets at that network address, asking the server again when the last enumeration did
// not report it (or there was none).
const SubnetScope* FindScope(ServerSession& session, DHCP_IP_ADDRESS address,
                             std::uint32_t& status) {
  status = dhcp_status::kSuccess;
  if (const SubnetScope* known = session.FindScope(address)) {
    return known;
  }
  auto reply = session.Client().GetSubnets();
  status = reply.status;
  if (reply.status != dhcp_status::kSuccess) {
    return nullptr;
  }
  session.RememberSubnets(reply.value);
  const SubnetScope* known = session.FindScope(address);
  if (known == nullptr) {
    status = dhcp_status::kSubnetNotPresent;
  }
  return known;
}

std::vector<DHCP_IP_MASK> MasksOf(const SubnetScope& scope, const std::vector<KeaLease>& leases) {
  std::vector<DHCP_IP_MASK> masks;
  masks.reserve(leases.size());
  for (const KeaLease& lease : leases) {
    masks.push_back(scope.MaskOf(lease));
  }
  return masks;
}

// What both enumerations do first and last: check and clear what the caller passed, find the
// session, and after a batch report its counts and the resume handle of the next one.
struct Enumeration {
  template <typename Array>
  Enumeration(char16_t* server, DHCP_RESUME_HANDLE* resume, Array** info, std::uint32_t* read,
              std::uint32_t* total)
      : resume_(resume), read_(read), total_(total) {
    if (resume == nullptr || info == nullptr) {
      status = dhcp_status::kInvalidParameter;
      return;
    }
    *info = nullptr;
    SetIfGiven(read, 0u);
    SetIfGiven(total, 0u);
    session = SessionOf(server);
    status = session != nullptr ? dhcp_status::kSuccess : dhcp_status::kRpcServerUnavailable;
  }

  void HandedOut(std::size_t batch, std::size_t all, DHCP_RESUME_HANDLE next) {
    SetIfGiven(read_, static_cast<std::uint32_t>(batch));
    SetIfGiven(total_, static_cast<std::uint32_t>(all));
    *resume_ = next;
  }

  std::uint32_t status = dhcp_status::kSuccess;
  ServerSession* session = nullptr;

 private:
  DHCP_RESUME_HANDLE* resume_;
  std::uint32_t* read_;
  std::uint32_t* total_;
};

}  // namespace

extern "C" {

std::uint32_t DhcpGetVersion(char16_t* ServerIpAddress, std::uint32_t* MajorVersion,
                             std::uint32_t* MinorVersion) {
  ServerSession* session = SessionOf(ServerIpAddress);
  if (session == nullptr) {
    return dhcp_status::kRpcServerUnavailable;
  }
  auto reply = session->Client().GetVersion();
  if (reply.status == dhcp_status::kSuccess) {
    SetIfGiven(MajorVersion, reply.value.major);
    SetIfGiven(MinorVersion, reply.value.minor);
  }
  return reply.status;
}

// Every subnet comes in the first batch; a resume handle at or past the end has nothing more.
std::uint32_t DhcpEnumSubnets(char16_t* ServerIpAddress, DHCP_RESUME_HANDLE* ResumeHandle,
                              std::uint32_t /*PreferredMaximum*/, DHCP_IP_ARRAY** EnumInfo,
                              std::uint32_t* ElementsRead, std::uint32_t* ElementsTotal) {
  Enumeration enumeration(ServerIpAddress, ResumeHandle, EnumInfo, ElementsRead, ElementsTotal);
  if (enumeration.status != dhcp_status::kSuccess) {
    return enumeration.status;
  }
  auto reply = enumeration.session->Client().GetSubnets();
  if (reply.status != dhcp_status::kSuccess) {
    return reply.status;
  }
  enumeration.session->RememberSubnets(reply.value);
  const std::vector<DHCP_IP_ADDRESS>& all = enumeration.session->Addresses();
  if (*ResumeHandle >= all.size()) {
    return dhcp_status::kNoMoreItems;
  }
  auto batch = std::span<const DHCP_IP_ADDRESS>(all).subspan(*ResumeHandle);
  *EnumInfo = platform::kea::NewIpArray(batch);
  enumeration.HandedOut(batch.size(), all.size(), static_cast<DHCP_RESUME_HANDLE>(all.size()));
  return dhcp_status::kSuccess;
}

// The leases of the subnet (of every Kea subnet at that network address), in ascending address
// order, one page of Kea's at a time: 234 with a batch and a resume handle that moves on, then 0
// with the last batch (an empty array when the subnet holds nothing). A call with the handle
// after the last batch has nothing more.
std::uint32_t DhcpEnumSubnetClients(char16_t* ServerIpAddress, DHCP_IP_ADDRESS SubnetAddress,
                                    DHCP_RESUME_HANDLE* ResumeHandle,
                                    std::uint32_t /*PreferredMaximum*/,
                                    DHCP_CLIENT_INFO_ARRAY** ClientInfo, std::uint32_t* ClientsRead,
                                    std::uint32_t* ClientsTotal) {
  Enumeration enumeration(ServerIpAddress, ResumeHandle, ClientInfo, ClientsRead, ClientsTotal);
  if (enumeration.status != dhcp_status::kSuccess) {
    return enumeration.status;
  }
  std::uint32_t status = dhcp_status::kSuccess;
  const SubnetScope* scope = FindScope(*enumeration.session, SubnetAddress, status);
  if (scope == nullptr) {
    return status;
  }
  KeaClient& client = enumeration.session->Client();
  platform::kea::SubnetBatch batch = platform::kea::ReadSubnetBatch(
      *scope, *ResumeHandle, kLeasePageLimit,
      [&client](std::optional<std::uint32_t> after, std::uint32_t limit) {
        return client.GetLeasePage(after, limit);
      });
  if (batch.status != dhcp_status::kSuccess && batch.status != dhcp_status::kMoreData) {
    return batch.status;
  }
  *ClientInfo = platform::kea::NewClientArray(batch.leases, MasksOf(*scope, batch.leases));
  enumeration.HandedOut(
      batch.leases.size(), batch.leases.size(),
      batch.status == dhcp_status::kMoreData ? batch.resume : platform::kea::EndOfScope(*scope));
  return batch.status;
}

void DhcpRpcFreeMemory(void* BufferPointer) {
  platform::kea::FreeDhcpBlock(BufferPointer);
}

}  // extern "C"
