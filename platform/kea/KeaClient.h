#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/kea/HttpTransport.h"
#include "platform/kea/KeaReply.h"

namespace platform::kea {

// The commands of Kea's control API that the DHCP API needs, sent to the dhcp4 service
// behind one control endpoint over one connection.
class KeaClient {
 public:
  KeaClient(std::string url, const KeaSettings& settings);

  const std::string& Url() const { return url_; }

  KeaReply<KeaVersion> GetVersion();
  KeaReply<std::vector<KeaSubnet>> GetSubnets();
  // lease4-get-page: at most `limit` leases after the address `after` (from the first when
  // nullopt), in ascending address order.
  KeaReply<std::vector<KeaLease>> GetLeasePage(std::optional<std::uint32_t> after,
                                               std::uint32_t limit);

 private:
  template <typename Value>
  KeaReply<Value> Exchange(const std::string& request,
                           KeaReply<Value> (*decode)(const std::string& body));

  std::string url_;
  HttpSession session_;
};

}  // namespace platform::kea
