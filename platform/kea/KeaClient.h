#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/kea/HttpTransport.h"
#include "platform/kea/KeaReply.h"

namespace platform::kea {

// The three commands of Kea's control API that the DHCP API needs, sent to the dhcp4 service
// behind one control endpoint over one connection.
class KeaClient {
 public:
  KeaClient(std::string url, const KeaSettings& settings);

  const std::string& Url() const { return url_; }

  KeaReply<KeaVersion> GetVersion();
  KeaReply<std::vector<KeaSubnet>> GetSubnets();
  KeaReply<std::vector<KeaLease>> GetLeases(std::uint32_t subnetId);

 private:
  template <typename Value>
  KeaReply<Value> Exchange(const std::string& request,
                           KeaReply<Value> (*decode)(const std::string& body));

  std::string url_;
  HttpSession session_;
};

}  // namespace platform::kea
