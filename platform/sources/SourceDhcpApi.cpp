// The DHCP Server Management API on Linux: the three calls answered by the source of leases that
// the server text names (SourceChoice.h), through the one SourceServer of that text.

#include <memory>
#include <span>
#include <string>
#include <utility>

#include "platform/DhcpApi.h"
#include "platform/TextEncoding.h"
#include "platform/sources/DhcpBlocks.h"
#include "platform/sources/SourceChoice.h"
#include "platform/sources/SourceServer.h"

namespace {

using platform::sources::SourceServer;

// The server of one server text, kept from call to call so that its connection and subnets stay.
struct Session {
  std::string serverText;
  SourceServer server;
};

// The session of the server text; null when the text names no source.
SourceServer* ServerOf(const char16_t* server) {
  static std::unique_ptr<Session> current;
  std::string text = server != nullptr ? platform::NarrowFromWide(server) : "";
  if (current && current->serverText == text) {
    return &current->server;
  }
  current.reset();
  std::unique_ptr<platform::sources::LeaseSource> source = platform::sources::OpenLeaseSource(text);
  if (!source) {
    return nullptr;
  }
  current = std::make_unique<Session>(Session{std::move(text), SourceServer(std::move(source))});
  return &current->server;
}

template <typename T>
void SetIfGiven(T* out, T value) {
  if (out != nullptr) {
    *out = value;
  }
}

// What both enumerations do first and last: check and clear what the caller passed, find the
// server, and after a batch report its counts and the resume handle of the next one.
struct Enumeration {
  template <typename Array>
  Enumeration(char16_t* serverText, DHCP_RESUME_HANDLE* resume, Array** info, std::uint32_t* read,
              std::uint32_t* total)
      : resume_(resume), read_(read), total_(total) {
    if (resume == nullptr || info == nullptr) {
      status = dhcp_status::kInvalidParameter;
      return;
    }
    *info = nullptr;
    SetIfGiven(read, 0u);
    SetIfGiven(total, 0u);
    server = ServerOf(serverText);
    status = server != nullptr ? dhcp_status::kSuccess : dhcp_status::kRpcServerUnavailable;
  }

  void HandedOut(std::size_t batch, std::size_t all, DHCP_RESUME_HANDLE next) {
    SetIfGiven(read_, static_cast<std::uint32_t>(batch));
    SetIfGiven(total_, static_cast<std::uint32_t>(all));
    *resume_ = next;
  }

  std::uint32_t status = dhcp_status::kSuccess;
  SourceServer* server = nullptr;

 private:
  DHCP_RESUME_HANDLE* resume_;
  std::uint32_t* read_;
  std::uint32_t* total_;
};

}  // namespace

extern "C" {

std::uint32_t DhcpGetVersion(char16_t* ServerIpAddress, std::uint32_t* MajorVersion,
                             std::uint32_t* MinorVersion) {
  SourceServer* server = ServerOf(ServerIpAddress);
  if (server == nullptr) {
    return dhcp_status::kRpcServerUnavailable;
  }
  auto reply = server->GetVersion();
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
  auto reply = enumeration.server->GetSubnets();
  if (reply.status != dhcp_status::kSuccess) {
    return reply.status;
  }
  const std::vector<DHCP_IP_ADDRESS>& all = reply.value;
  if (*ResumeHandle >= all.size()) {
    return dhcp_status::kNoMoreItems;
  }
  auto batch = std::span<const DHCP_IP_ADDRESS>(all).subspan(*ResumeHandle);
  *EnumInfo = platform::sources::NewIpArray(batch);
  enumeration.HandedOut(batch.size(), all.size(), static_cast<DHCP_RESUME_HANDLE>(all.size()));
  return dhcp_status::kSuccess;
}

// The leases of the subnet (of every subnet at that network address), in ascending address
// order, in batches (SourceServer): 234 with a batch and a resume handle that moves on, then 0
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
  platform::sources::ClientBatch batch =
      enumeration.server->GetClients(SubnetAddress, *ResumeHandle);
  if (batch.status != dhcp_status::kSuccess && batch.status != dhcp_status::kMoreData) {
    return batch.status;
  }
  *ClientInfo = platform::sources::NewClientArray(batch.leases, batch.masks);
  enumeration.HandedOut(batch.leases.size(), batch.leases.size(), batch.resume);
  return batch.status;
}

void DhcpRpcFreeMemory(void* BufferPointer) {
  platform::sources::FreeDhcpBlock(BufferPointer);
}

}  // extern "C"
