#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/kea/KeaReply.h"
#include "platform/kea/KeaTransport.h"

namespace platform::kea {

// The commands of Kea's control API that the DHCP API needs, sent to the dhcp4 service
// over one transport.
class KeaClient {
 public:
  explicit KeaClient(std::unique_ptr<KeaTransport> transport);

  KeaReply<KeaVersion> GetVersion();
  KeaReply<std::vector<KeaSubnet>> GetSubnets();
  // lease4-get-page: at most `limit` leases after the address `after` (from the first when
  // nullopt), in ascending address order.
  KeaReply<std::vector<KeaLease>> GetLeasePage(std::optional<std::uint32_t> after,
                                               std::uint32_t limit);

  // The request text of that lease4-get-page, for pages sent side by side.
  std::string LeasePageRequest(std::optional<std::uint32_t> after, std::uint32_t limit) const;

  // The transport's requests side by side; null when it takes one at a time.
  ConcurrentExchange* Concurrent() { return transport_->Concurrent(); }

 private:
  template <typename Value>
  KeaReply<Value> Exchange(const std::string& request,
                           KeaReply<Value> (*decode)(const std::string& body),
                           std::size_t maxReplyBytes = kMaxReplyBytes);

  // The request text of a command; `arguments` is JSON text or empty.
  std::string KeaCommand(const std::string& command, const std::string& arguments = {}) const;

  std::unique_ptr<KeaTransport> transport_;
};

}  // namespace platform::kea
