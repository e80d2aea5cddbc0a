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

KeaReply<std::vector<KeaLease>> KeaClient::GetLeasePage(std::optional<std::uint32_t> after,
                                                        std::uint32_t limit) {
  std::string arguments = R"({"from": )";
  if (after) {
    arguments.append(1, '"').append(FormatIpv4Address(*after)).append(1, '"');
  } else {
    arguments.append(R"("start")");
  }
  arguments.append(R"(, "limit": )").append(std::to_string(limit)).append("}");
  return Exchange(KeaCommand("lease4-get-page", arguments), DecodeLeasesReply);
}

}  // namespace platform::kea
