#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/posix/kea/HttpTransport.h"
#include "platform/posix/kea/KeaReply.h"

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

// The request body of a command for the dhcp4 service; `arguments` is JSON text or empty.
std::string KeaCommand(const std::string& command, const std::string& arguments = {});

}  // namespace platform::kea
