#include "platform/kea/KeaClient.h"

#include <utility>

#include "platform/sources/Ipv4Text.h"

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
                                    KeaReply<Value> (*decode)(const std::string& body),
                                    std::size_t maxReplyBytes) {
  TransportReply reply = transport_->Exchange(request, maxReplyBytes);
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

std::string KeaClient::LeasePageRequest(std::optional<std::uint32_t> after,
                                        std::uint32_t limit) const {
  std::string arguments = R"({"from": )";
  if (after) {
    arguments.append(1, '"').append(sources::FormatIpv4Address(*after)).append(1, '"');
  } else {
    arguments.append(R"("start")");
  }
  arguments.append(R"(, "limit": )").append(std::to_string(limit)).append("}");
  return KeaCommand("lease4-get-page", arguments);
}

KeaReply<std::vector<KeaLease>> KeaClient::GetLeasePage(std::optional<std::uint32_t> after,
                                                        std::uint32_t limit) {
  return Exchange(LeasePageRequest(after, limit), DecodeLeasesReply, kMaxPageReplyBytes);
}

}  // namespace platform::kea
