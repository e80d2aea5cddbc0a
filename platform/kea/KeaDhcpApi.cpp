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

namespace {

using platform::kea::KeaClient;
using platform::kea::KeaLease;
using platform::kea::KeaSubnet;

using platform::kea::ControlEndpoint;

// The server that the calls name, its transport (chosen once, at the first call), and the
// subnets its last enumeration reported: a client enumeration names its subnet by network
// address, Kea's command by id.
class ServerSession {
 public:
  explicit ServerSession(ControlEndpoint endpoint)
      : endpoint_(std::move(endpoint)),
        client_(platform::kea::OpenControlTransport(endpoint_, platform::kea::ReadKeaSettings())) {}

  const ControlEndpoint& Endpoint() const { return endpoint_; }
  KeaClient& Client() { return client_; }

  void RememberSubnets(const std::vector<KeaSubnet>& subnets) {
    subnets_.clear();
    for (const KeaSubnet& subnet : subnets) {
      subnets_.emplace(subnet.prefix.address, subnet);
    }
  }

  const KeaSubnet* FindSubnet(DHCP_IP_ADDRESS address) const {
    auto found = subnets_.find(address);
    return found != subnets_.end() ? &found->second : nullptr;
  }

 private:
  ControlEndpoint endpoint_;
  KeaClient client_;
  std::map<DHCP_IP_ADDRESS, KeaSubnet> subnets_;
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

// The subnet of that network address, asking the server again when the last enumeration did not
// report it (or there was none).
std::uint32_t FindSubnet(ServerSession& session, DHCP_IP_ADDRESS address, KeaSubnet& subnet) {
  if (const KeaSubnet* known = session.FindSubnet(address)) {
    subnet = *known;
    return dhcp_status::kSuccess;
  }
  auto reply = session.Client().GetSubnets();
  if (reply.status != dhcp_status::kSuccess) {
    return reply.status;
  }
  session.RememberSubnets(reply.value);
  const KeaSubnet* known = session.FindSubnet(address);
  if (known == nullptr) {
    return dhcp_status::kSubnetNotPresent;
  }
  subnet = *known;
  return dhcp_status::kSuccess;
}

// What both enumerations do first and last: check and clear what the caller passed, find the
// session, and after a batch report its counts and move the resume handle past the end.
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

  std::uint32_t HandedOut(std::size_t batch, std::size_t all) {
    SetIfGiven(read_, static_cast<std::uint32_t>(batch));
    SetIfGiven(total_, static_cast<std::uint32_t>(all));
    *resume_ = static_cast<DHCP_RESUME_HANDLE>(all);
    return dhcp_status::kSuccess;
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
  if (*ResumeHandle >= reply.value.size()) {
    return dhcp_status::kNoMoreItems;
  }
  std::vector<DHCP_IP_ADDRESS> addresses;
  for (std::size_t i = *ResumeHandle; i < reply.value.size(); ++i) {
    addresses.push_back(reply.value[i].prefix.address);
  }
  *EnumInfo = platform::kea::NewIpArray(addresses);
  return enumeration.HandedOut(addresses.size(), reply.value.size());
}

// Every lease of the subnet comes in the first batch, an empty subnet as an empty array; a later
// call with its resume handle past the end has nothing more.
std::uint32_t DhcpEnumSubnetClients(char16_t* ServerIpAddress, DHCP_IP_ADDRESS SubnetAddress,
                                    DHCP_RESUME_HANDLE* ResumeHandle,
                                    std::uint32_t /*PreferredMaximum*/,
                                    DHCP_CLIENT_INFO_ARRAY** ClientInfo, std::uint32_t* ClientsRead,
                                    std::uint32_t* ClientsTotal) {
  Enumeration enumeration(ServerIpAddress, ResumeHandle, ClientInfo, ClientsRead, ClientsTotal);
  if (enumeration.status != dhcp_status::kSuccess) {
    return enumeration.status;
  }
  KeaSubnet subnet;
  if (std::uint32_t status = FindSubnet(*enumeration.session, SubnetAddress, subnet);
      status != dhcp_status::kSuccess) {
    return status;
  }
  auto reply = enumeration.session->Client().GetLeases(subnet.id);
  if (reply.status != dhcp_status::kSuccess) {
    return reply.status;
  }
  if (*ResumeHandle > 0 && *ResumeHandle >= reply.value.size()) {
    return dhcp_status::kNoMoreItems;
  }
  auto batch = std::span<const KeaLease>(reply.value).subspan(*ResumeHandle);
  *ClientInfo =
      platform::kea::NewClientArray(batch, platform::kea::MaskOfPrefixLength(subnet.prefix.length));
  return enumeration.HandedOut(batch.size(), reply.value.size());
}

void DhcpRpcFreeMemory(void* BufferPointer) {
  platform::kea::FreeDhcpBlock(BufferPointer);
}

}  // extern "C"
