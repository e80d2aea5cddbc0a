#include "platform/sources/DhcpBlocks.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/TextEncoding.h"
#include "platform/sources/LeaseExpiry.h"
#include "platform/sources/Utf8Text.h"

namespace platform::sources {
namespace {

struct BlockRelease {
  void operator()(void* block) const { FreeDhcpBlock(block); }
};
template <typename T>
using Block = std::unique_ptr<T, BlockRelease>;

// Zeroed storage for `count` values of a plain C type.
template <typename T>
Block<T> NewBlock(std::size_t count = 1) {
  void* storage = std::calloc(count, sizeof(T));
  if (storage == nullptr) {
    throw std::bad_alloc();
  }
  return Block<T>(static_cast<T*>(storage));
}

std::uint32_t CountOf(std::size_t size) {
  if (size > std::numeric_limits<std::uint32_t>::max()) {
    throw std::bad_alloc();
  }
  return static_cast<std::uint32_t>(size);
}

// A client record with the blocks it points to, each freed with it until handed over.
struct ClientBlocks {
  Block<DHCP_CLIENT_INFO> info;
  Block<std::uint8_t> hardwareAddress;
  Block<char16_t> name;

  DHCP_CLIENT_INFO* Release() {
    hardwareAddress.release();
    name.release();
    return info.release();
  }
};

Block<char16_t> NewWideString(const std::string& utf8) {
  std::u16string wide = WideFromNarrow(IsValidUtf8(utf8) ? utf8 : ValidUtf8(utf8));
  Block<char16_t> text = NewBlock<char16_t>(wide.size() + 1);
  std::memcpy(text.get(), wide.data(), wide.size() * sizeof(char16_t));
  return text;
}

ClientBlocks NewClient(const SourceLease& lease, DHCP_IP_MASK mask) {
  ClientBlocks client{NewBlock<DHCP_CLIENT_INFO>(), nullptr, nullptr};
  DHCP_CLIENT_INFO& info = *client.info;
  info.ClientIpAddress = lease.address;
  info.SubnetMask = mask;
  info.ClientLeaseExpires = LeaseExpiry(lease.expires);
  if (!lease.hardwareAddress.empty()) {
    client.hardwareAddress = NewBlock<std::uint8_t>(lease.hardwareAddress.size());
    std::memcpy(client.hardwareAddress.get(), lease.hardwareAddress.data(),
                lease.hardwareAddress.size());
    info.ClientHardwareAddress.DataLength = CountOf(lease.hardwareAddress.size());
    info.ClientHardwareAddress.Data = client.hardwareAddress.get();
  }
  if (!lease.hostName.empty()) {
    client.name = NewWideString(lease.hostName);
    info.ClientName = client.name.get();
  }
  return client;
}

}  // namespace

void FreeDhcpBlock(void* block) {
  std::free(block);
}

DHCP_IP_ARRAY* NewIpArray(std::span<const DHCP_IP_ADDRESS> addresses) {
  Block<DHCP_IP_ARRAY> array = NewBlock<DHCP_IP_ARRAY>();
  if (!addresses.empty()) {
    array->NumElements = CountOf(addresses.size());
    Block<DHCP_IP_ADDRESS> elements = NewBlock<DHCP_IP_ADDRESS>(addresses.size());
    std::memcpy(elements.get(), addresses.data(), addresses.size_bytes());
    array->Elements = elements.release();
  }
  return array.release();
}

DHCP_CLIENT_INFO_ARRAY* NewClientArray(std::span<const SourceLease> leases, DHCP_IP_MASK mask) {
  return NewClientArray(leases, std::vector<DHCP_IP_MASK>(leases.size(), mask));
}

DHCP_CLIENT_INFO_ARRAY* NewClientArray(std::span<const SourceLease> leases,
                                       std::span<const DHCP_IP_MASK> masks) {
  Block<DHCP_CLIENT_INFO_ARRAY> array = NewBlock<DHCP_CLIENT_INFO_ARRAY>();
  if (leases.empty()) {
    return array.release();
  }
  std::uint32_t count = CountOf(leases.size());
  Block<DHCP_CLIENT_INFO*> pointers = NewBlock<DHCP_CLIENT_INFO*>(leases.size());
  std::vector<ClientBlocks> clients;
  clients.reserve(leases.size());
  for (std::size_t i = 0; i < leases.size(); ++i) {
    clients.push_back(NewClient(leases[i], masks[i]));
  }
  for (std::size_t i = 0; i < clients.size(); ++i) {
    pointers.get()[i] = clients[i].Release();
  }
  array->NumElements = count;
  array->Clients = pointers.release();
  return array.release();
}

}  // namespace platform::sources
