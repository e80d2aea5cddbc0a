#include "platform/kea/KeaClient.h"

#include <utility>

namespace platform::kea {
namespace {

// The request body of a command for the dhcp4 service; `arguments` is JSON text or empty.
std::string KeaCommand(const std::string& command, const std::string& arguments = {}) {
  std::string request = R"({"command": ")" + command + R"(", "service": ["dhcp4"])";
  if (!arguments.empty()) {
    request += R"(, "arguments": )" + arguments;
  }
  return request + "}";
}

}  // namespace

KeaClient::KeaClient(std::string url, const KeaSettings& settings)
    : url_(std::move(url)), session_(settings) {}

template <typename Value>
KeaReply<Value> KeaClient::Exchange(const std::string& request,
                                    KeaReply<Value> (*decode)(const std::string& body)) {
  HttpReply reply = session_.PostJson(url_, request);
  if (reply.status != dhcp_status::kSuccess) {
    return KeaReply<Value>{reply.status, {}};
  }
  return decode(reply.body);
}

KeaReply<KeaVersion> KeaClient::GetVersion() {
  return Exchange(KeaCommand("version-get"), DecodeVersionReply);
}

KeaReply<std::vector<KeaSubnet>> KeaClient::GetSubnets() {
  return Exchange(KeaCommand("config-get"), DecodeSubnetsReply);
}

KeaReply<std::vector<KeaLease>> KeaClient::GetLeases(std::uint32_t subnetId) {
  return Exchange(
      KeaCommand("lease4-get-all", R"({"subnets": [)" + std::to_string(subnetId) + "]}"),
      DecodeLeasesReply);
}

}  // namespace platform::kea
