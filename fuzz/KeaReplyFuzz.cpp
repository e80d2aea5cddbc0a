// The control agent's reply bodies: every decoder on the same bytes, and the leases of a decoded
// reply on into the DHCP API's client array, as a server's reply travels through the client.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "lease/DhcpArrays.h"
#include "platform/DhcpApi.h"
#include "platform/kea/KeaLeasePages.h"
#include "platform/kea/KeaReply.h"
#include "platform/sources/DhcpBlocks.h"

namespace {

using namespace platform::kea;

bool IsKnownStatus(std::uint32_t status) {
  return status == dhcp_status::kSuccess || status == dhcp_status::kInvalidData ||
         status == dhcp_status::kNotSupported || status == dhcp_status::kAccessDenied ||
         status == dhcp_status::kRpcServerUnavailable;
}

void CheckSubnets(const std::string& body) {
  KeaReply<std::vector<KeaSubnet>> reply = DecodeSubnetsReply(body);
  FUZZ_CHECK(IsKnownStatus(reply.status));
  FUZZ_CHECK(reply.status == dhcp_status::kSuccess || reply.value.empty());
  for (const KeaSubnet& subnet : reply.value) {
    FUZZ_CHECK(subnet.prefix.length <= 32);
  }
}

void CheckLeases(const std::string& body) {
  KeaReply<std::vector<KeaLease>> reply = DecodeLeasesReply(body);
  FUZZ_CHECK(IsKnownStatus(reply.status));
  FUZZ_CHECK(reply.status == dhcp_status::kSuccess || reply.value.empty());
  std::vector<platform::sources::SourceLease> leases;
  for (KeaLease& lease : reply.value) {
    leases.push_back(SourceLeaseOf(std::move(lease)));
  }
  lease::DhcpClientArrayPtr clients(platform::sources::NewClientArray(leases, 0xFFFFFF00u));
  FUZZ_CHECK(clients->NumElements == leases.size());
  for (std::size_t i = 0; i < leases.size(); ++i) {
    const DHCP_CLIENT_INFO& client = *clients->Clients[i];
    FUZZ_CHECK(client.ClientIpAddress == leases[i].address);
    FUZZ_CHECK(client.ClientHardwareAddress.DataLength == leases[i].hardwareAddress.size());
    FUZZ_CHECK((client.ClientName == nullptr) == leases[i].hostName.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  FUZZ_CHECK(IsKnownStatus(DecodeVersionReply(body).status));
  CheckSubnets(body);
  CheckLeases(body);
  return 0;
}
