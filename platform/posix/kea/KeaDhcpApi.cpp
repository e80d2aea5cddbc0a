// The DHCP Server Management API answered by a Kea server through its control API.

#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/DhcpApi.h"
#include "platform/TextEncoding.h"
#include "platform/posix/kea/DhcpBlocks.h"
#include "platform/posix/kea/KeaClient.h"
#include "platform/posix/kea/KeaEndpoint.h"

namespace {

using platform::kea::KeaClient;
using platform::kea::KeaLease;
using platform::kea::KeaSubnet;

constexpr std::uint32_t kInvalidParameter = 87;  // ERROR_INVALID_PARAMETER

// The server that the calls name, its connection, and the subnets its last enumeration
// reported: a client enumeration names its subnet by network address, Kea's command by id.
class ServerSession {
 public:
  explicit ServerSession(std::string url)
      : client_(std::move(url), platform::kea::ReadKeaSettings()) {}

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
  KeaClient client_;
  std::map<DHCP_IP_ADDRESS, KeaSubnet> subnets_;
};

// The session of the server text, kept from call to call so that the connection and the
// subnets stay; null when the text names no endpoint.
ServerSession* SessionOf(const char16_t* server) {
  static std::unique_ptr<ServerSession> current;
  std::optional<std::string> url =
      platform::kea::ControlEndpointUrl(server != nullptr ? platform::NarrowFromWide(server) : "");
  if (!url) {
    return nullptr;
  }
  if (!current || current->Client().Url() != *url) {
    current.reset();
    current = std::make_unique<ServerSession>(*url);
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
  if (ResumeHandle == nullptr || EnumInfo == nullptr) {
    return kInvalidParameter;
  }
  *EnumInfo = nullptr;
  SetIfGiven(ElementsRead, 0u);
  SetIfGiven(ElementsTotal, 0u);
  ServerSession* session = SessionOf(ServerIpAddress);
  if (session == nullptr) {
    return dhcp_status::kRpcServerUnavailable;
  }
  auto reply = session->Client().GetSubnets();
  if (reply.status != dhcp_status::kSuccess) {
    return reply.status;
  }
  session->RememberSubnets(reply.value);
  const std::size_t total = reply.value.size();
  if (*ResumeHandle >= total) {
    return dhcp_status::kNoMoreItems;
  }
  std::vector<DHCP_IP_ADDRESS> addresses;
  for (std::size_t i = *ResumeHandle; i < total; ++i) {
    addresses.push_back(reply.value[i].prefix.address);
  }
  *EnumInfo = platform::kea::NewIpArray(addresses);
  SetIfGiven(ElementsRead, static_cast<std::uint32_t>(addresses.size()));
  SetIfGiven(ElementsTotal, static_cast<std::uint32_t>(total));
  *ResumeHandle = static_cast<DHCP_RESUME_HANDLE>(total);
  return dhcp_status::kSuccess;
}

// Every lease of the subnet comes in the first batch, an empty subnet as an empty array; a later
// call with its resume handle past the end has nothing more.
std::uint32_t DhcpEnumSubnetClients(char16_t* ServerIpAddress, DHCP_IP_ADDRESS SubnetAddress,
                                    DHCP_RESUME_HANDLE* ResumeHandle,
                                    std::uint32_t /*PreferredMaximum*/,
                                    DHCP_CLIENT_INFO_ARRAY** ClientInfo, std::uint32_t* ClientsRead,
                                    std::uint32_t* ClientsTotal) {
  if (ResumeHandle == nullptr || ClientInfo == nullptr) {
    return kInvalidParameter;
  }
  *ClientInfo = nullptr;
  SetIfGiven(ClientsRead, 0u);
  SetIfGiven(ClientsTotal, 0u);
  ServerSession* session = SessionOf(ServerIpAddress);
  if (session == nullptr) {
    return dhcp_status::kRpcServerUnavailable;
  }
  KeaSubnet subnet;
  if (std::uint32_t status = FindSubnet(*session, SubnetAddress, subnet);
      status != dhcp_status::kSuccess) {
    return status;
  }
  auto reply = session->Client().GetLeases(subnet.id);
  if (reply.status != dhcp_status::kSuccess) {
    return reply.status;
  }
  const std::size_t total = reply.value.size();
  if (*ResumeHandle > 0 && *ResumeHandle >= total) {
    return dhcp_status::kNoMoreItems;
  }
  std::span<const KeaLease> batch = std::span<const KeaLease>(reply.value).subspan(*ResumeHandle);
  *ClientInfo =
      platform::kea::NewClientArray(batch, platform::kea::MaskOfPrefixLength(subnet.prefix.length));
  SetIfGiven(ClientsRead, static_cast<std::uint32_t>(batch.size()));
  SetIfGiven(ClientsTotal, static_cast<std::uint32_t>(total));
  *ResumeHandle = static_cast<DHCP_RESUME_HANDLE>(total);
  return dhcp_status::kSuccess;
}

void DhcpRpcFreeMemory(void* BufferPointer) {
  platform::kea::FreeDhcpBlock(BufferPointer);
}

}  // extern "C"
