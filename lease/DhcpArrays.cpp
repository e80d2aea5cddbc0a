#include "lease/DhcpArrays.h"

namespace lease {
namespace {

void FreeBlock(void* block) {
  if (block != nullptr) {
    DhcpRpcFreeMemory(block);
  }
}

void FreeClient(DHCP_CLIENT_INFO* client) {
  if (client == nullptr) {
    return;
  }
  FreeBlock(client->ClientHardwareAddress.Data);
  FreeBlock(client->ClientName);
  FreeBlock(client->ClientComment);
  FreeBlock(client->OwnerHost.NetBiosName);
  FreeBlock(client->OwnerHost.HostName);
  FreeBlock(client);
}

}  // namespace

void DhcpIpArrayRelease::operator()(DHCP_IP_ARRAY* array) const {
  FreeBlock(array->Elements);
  FreeBlock(array);
}

void DhcpClientArrayRelease::operator()(DHCP_CLIENT_INFO_ARRAY* array) const {
  if (array->Clients != nullptr) {
    for (std::uint32_t i = 0; i < array->NumElements; ++i) {
      FreeClient(array->Clients[i]);
    }
  }
  FreeBlock(array->Clients);
  FreeBlock(array);
}

}  // namespace lease
