#include "platform/kea/KeaClient.h"

#include <utility>

namespace platform::kea {

KeaClient::KeaClient(std::unique_ptr<KeaTransport> transport) : transport_(std::move(transport)) {}

// The agent forwards a command to the services it names; kea-dhcp4's own HTTP socket takes
// exactly ["dhcp4"] too (Kea 3.2 refuses anything else), and its UNIX socket takes no service.
std::string KeaClient::KeaCommand(const std::string& command, const std::string& arguments) const {
  std::string request = R"({"command": ")" + command + R"(")";
  if (transport_->NamesService()) {
    request += R"(, "service": ["dhcp4"])";
  }
  if (!arguments.empty()) {
    request += R"(, "arguments": )" + arguments;
  }
  return request + "}";
}

template <typename Value>
KeaReply<Value> KeaClient::Exchange(const std::string& request,
                                    KeaReply<Value> (*decode)(const std::string& body)) {
  TransportReply reply = transport_->Exchange(request);
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
