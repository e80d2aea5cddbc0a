#include "lease/LeaseQuery.h"

#include "lease/AddressFormat.h"
#include "lease/ConsoleLine.h"
#include "lease/DhcpArrays.h"
#include "lease/SystemErrorText.h"
#include "platform/DhcpApi.h"
#include "platform/TextEncoding.h"

namespace lease {
namespace {

void WriteStatusLine(std::uint32_t status) {
  WriteErrorLine("Error: " + SystemErrorText(status));
}

// 259 only says that there is nothing (more) to enumerate; a server with no subnets or a subnet
// with no clients answers so, and neither is an error.
void ReportEnumerationEnd(std::uint32_t status) {
  if (status != dhcp_status::kNoMoreItems) {
    WriteStatusLine(status);
  }
}

_DHCPUnit RecordOf(const DHCP_CLIENT_INFO& client) {
  _DHCPUnit unit;
  const DHCP_BINARY_DATA& hardware = client.ClientHardwareAddress;
  unit.MacAddress =
      FormatHardwareAddress(hardware.Data != nullptr ? hardware.DataLength : 0, hardware.Data);
  if (client.ClientName != nullptr) {
    unit.HostName = platform::NarrowFromWide(client.ClientName);
    // Servers store fully qualified names with the root's full stop; the inventory wants one off.
    if (!unit.HostName.empty() && unit.HostName.back() == '.') {
      unit.HostName.pop_back();
    }
  }
  unit.IpAddress = FormatIpAddress(client.ClientIpAddress);
  return unit;
}

void AppendClients(const DHCP_CLIENT_INFO_ARRAY& clients, LeaseList& leases) {
  if (clients.Clients == nullptr) {
    return;
  }
  for (std::uint32_t i = 0; i < clients.NumElements; ++i) {
    if (clients.Clients[i] != nullptr) {
      leases.push_back(RecordOf(*clients.Clients[i]));
    }
  }
}

// A server caps each answer and signals the rest with 234, so the subnet is read batch after
// batch until the server says it is complete. A 234 that leaves the resume handle where it was
// would bring the same batch for ever: the server's data is not to be trusted. True when the
// enumeration ended in success.
bool ReadClientBatches(char16_t* server, DHCP_IP_ADDRESS subnet, LeaseList& leases) {
  DHCP_RESUME_HANDLE resume = 0;
  for (;;) {
    const DHCP_RESUME_HANDLE asked = resume;
    DHCP_CLIENT_INFO_ARRAY* answer = nullptr;
    std::uint32_t read = 0;
    std::uint32_t total = 0;
    std::uint32_t status = DhcpEnumSubnetClients(server, subnet, &resume, kDhcpPreferredMaximum,
                                                 &answer, &read, &total);
    DhcpClientArrayPtr clients(answer);
    if (status != dhcp_status::kSuccess && status != dhcp_status::kMoreData) {
      ReportEnumerationEnd(status);
      return status == dhcp_status::kNoMoreItems;
    }
    if (clients) {
      AppendClients(*clients, leases);
    }
    if (status != dhcp_status::kMoreData) {
      return true;
    }
    if (resume == asked) {
      WriteStatusLine(dhcp_status::kInvalidData);
      return false;
    }
  }
}

// A subnet is saved whole or not at all: records of batches read before a failure are taken out
// again, so that part of a subnet never passes for all of it.
int ReadSubnetClients(char16_t* server, DHCP_IP_ADDRESS subnet, LeaseList& leases) {
  WriteConsoleLine("Reading position: " + FormatIpAddress(subnet));
  const auto before = static_cast<std::ptrdiff_t>(leases.size());
  if (!ReadClientBatches(server, subnet, leases)) {
    leases.erase(leases.begin() + before, leases.end());
    return 0;
  }
  return static_cast<int>(static_cast<std::ptrdiff_t>(leases.size()) - before);
}

int ReadSubnetBatch(char16_t* server, const DHCP_IP_ARRAY& subnets, LeaseList& leases) {
  auto count = static_cast<std::int32_t>(subnets.NumElements);
  WriteConsoleLine("DHCP Subnet number = " + std::to_string(count));
  int added = 0;
  if (count > 0 && subnets.Elements != nullptr) {
    for (std::int32_t i = 0; i < count; ++i) {
      added += ReadSubnetClients(server, subnets.Elements[i], leases);
    }
  }
  return added;
}

}  // namespace

int QueryServer(const std::string& server, LeaseList& leases) {
  std::u16string wideServer = platform::WideFromNarrow(server);
  char16_t* serverName = wideServer.data();

  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t status = DhcpGetVersion(serverName, &major, &minor);
  if (status != dhcp_status::kSuccess) {
    WriteStatusLine(status);
    return 0;
  }

  int added = 0;
  DHCP_RESUME_HANDLE resume = 0;
  for (;;) {
    const DHCP_RESUME_HANDLE asked = resume;
    DHCP_IP_ARRAY* answer = nullptr;
    std::uint32_t read = 0;
    std::uint32_t total = 0;
    std::uint32_t batchStatus =
        DhcpEnumSubnets(serverName, &resume, kDhcpPreferredMaximum, &answer, &read, &total);
    DhcpIpArrayPtr subnets(answer);
    if (subnets) {
      added += ReadSubnetBatch(serverName, *subnets, leases);
    } else {
      ReportEnumerationEnd(batchStatus);
    }
    // After 234 the next batch is read whatever this one held, unless the server did not move.
    if (batchStatus != dhcp_status::kMoreData) {
      break;
    }
    if (resume == asked) {
      WriteStatusLine(dhcp_status::kInvalidData);
      break;
    }
  }
  return added;
}

}  // namespace lease
