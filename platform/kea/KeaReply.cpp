#include "platform/kea/KeaReply.h"

#include <simdjson.h>

#include <limits>
#include <new>
#include <optional>
#include <string_view>

#include "platform/kea/Utf8Repair.h"

namespace platform::kea {
namespace {

using simdjson::dom::array;
using simdjson::dom::element;
using simdjson::dom::object;
using sources::Ipv4Prefix;
using sources::ParseHardwareAddress;
using sources::ParseIpv4Address;
using sources::ParseIpv4Prefix;

constexpr std::int64_t kResultSuccess = 0;
constexpr std::int64_t kResultError = 1;
constexpr std::int64_t kResultUnsupported = 2;
constexpr std::int64_t kResultEmpty = 3;
constexpr std::int64_t kResultUnauthorized = 401;

struct Answer {
  std::int64_t result = 0;
  std::string_view text;
  std::optional<element> arguments;
};

// Memory running out is the system's failure, not a fault of the reply.
void ThrowIfOutOfMemory(simdjson::error_code error) {
  if (error == simdjson::MEMALLOC) {
    throw std::bad_alloc();
  }
}

std::optional<element> Member(object parent, std::string_view key) {
  element value;
  if (parent.at_key(key).get(value) != simdjson::SUCCESS || value.is_null()) {
    return std::nullopt;
  }
  return value;
}

// A member that may be absent (or null); when present it must be a string.
bool OptionalString(object parent, std::string_view key, std::string_view& out) {
  std::optional<element> value = Member(parent, key);
  return !value || value->get_string().get(out) == simdjson::SUCCESS;
}

template <typename Number>
bool NumberValue(element value, Number& out) {
  std::uint64_t number = 0;
  if (value.get_uint64().get(number) != simdjson::SUCCESS ||
      number > std::numeric_limits<Number>::max()) {
    return false;
  }
  out = static_cast<Number>(number);
  return true;
}

template <typename Number>
bool OptionalNumber(object parent, std::string_view key, Number& out) {
  std::optional<element> value = Member(parent, key);
  return !value || NumberValue(*value, out);
}

template <typename Value>
bool RequiredMember(object parent, std::string_view key, Value& out) {
  std::optional<element> value = Member(parent, key);
  return value && value->get(out) == simdjson::SUCCESS;
}

// The answer of a list's first element or of a bare object.
std::optional<Answer> AnswerOf(simdjson::dom::parser& parser, const std::string& body) {
  element root;
  simdjson::error_code error = parser.parse(body).get(root);
  ThrowIfOutOfMemory(error);
  array answers;
  if (error != simdjson::SUCCESS ||
      (root.get(answers) == simdjson::SUCCESS && answers.at(0).get(root) != simdjson::SUCCESS)) {
    return std::nullopt;
  }
  object fields;
  Answer answer;
  if (root.get(fields) != simdjson::SUCCESS || !RequiredMember(fields, "result", answer.result) ||
      !OptionalString(fields, "text", answer.text)) {
    return std::nullopt;
  }
  answer.arguments = Member(fields, "arguments");
  return answer;
}

// The leading decimal number of `text`, consumed with the full stop after it.
std::uint32_t TakeVersionNumber(std::string_view& text) {
  std::uint32_t number = 0;
  std::size_t used = 0;
  while (used < text.size() && text[used] >= '0' && text[used] <= '9' && number < 100000) {
    number = number * 10 + static_cast<std::uint32_t>(text[used++] - '0');
  }
  text.remove_prefix(used);
  if (!text.empty() && text.front() == '.') {
    text.remove_prefix(1);
  }
  return number;
}

bool ReadVersion(const Answer& answer, KeaVersion& version) {
  std::string_view text = answer.text;
  version.major = TakeVersionNumber(text);
  version.minor = TakeVersionNumber(text);
  return true;
}

bool ReadSubnet(element entry, std::vector<KeaSubnet>& subnets) {
  object fields;
  element id;
  std::string_view prefixText;
  KeaSubnet subnet;
  if (entry.get(fields) != simdjson::SUCCESS || !RequiredMember(fields, "id", id) ||
      !NumberValue(id, subnet.id) || !RequiredMember(fields, "subnet", prefixText)) {
    return false;
  }
  std::optional<Ipv4Prefix> prefix = ParseIpv4Prefix(prefixText);
  if (!prefix) {
    return false;
  }
  subnet.prefix = *prefix;
  subnets.push_back(subnet);
  return true;
}

// Reads each entry of the list `key` of `parent`, which may be absent.
template <typename Reader>
bool ReadOptionalList(object parent, std::string_view key, Reader read) {
  std::optional<element> list = Member(parent, key);
  array entries;
  if (!list) {
    return true;
  }
  if (list->get(entries) != simdjson::SUCCESS) {
    return false;
  }
  for (element entry : entries) {
    if (!read(entry)) {
      return false;
    }
  }
  return true;
}

bool ReadSubnetList(object parent, std::vector<KeaSubnet>& subnets) {
  return ReadOptionalList(parent, "subnet4",
                          [&](element entry) { return ReadSubnet(entry, subnets); });
}

bool ReadSubnets(const Answer& answer, std::vector<KeaSubnet>& subnets) {
  object arguments;
  object dhcp4;
  return answer.arguments && answer.arguments->get(arguments) == simdjson::SUCCESS &&
         RequiredMember(arguments, "Dhcp4", dhcp4) && ReadSubnetList(dhcp4, subnets) &&
         ReadOptionalList(dhcp4, "shared-networks", [&](element network) {
           object fields;
           return network.get(fields) == simdjson::SUCCESS && ReadSubnetList(fields, subnets);
         });
}

bool ReadLease(element entry, std::vector<KeaLease>& leases) {
  object fields;
  std::string_view addressText;
  std::string_view hardwareText;
  std::string_view hostName;
  KeaLease lease;
  element subnetId;
  if (entry.get(fields) != simdjson::SUCCESS ||
      !RequiredMember(fields, "ip-address", addressText) ||
      !RequiredMember(fields, "subnet-id", subnetId) || !NumberValue(subnetId, lease.subnetId) ||
      !OptionalString(fields, "hw-address", hardwareText) ||
      !OptionalString(fields, "hostname", hostName) ||
      !OptionalNumber(fields, "cltt", lease.lastTransactionTime) ||
      !OptionalNumber(fields, "valid-lft", lease.validLifetime)) {
    return false;
  }
  std::optional<std::uint32_t> address = ParseIpv4Address(addressText);
  std::optional<std::vector<std::uint8_t>> hardware = ParseHardwareAddress(hardwareText);
  if (!address || !hardware) {
    return false;
  }
  lease.address = *address;
  lease.hardwareAddress = *std::move(hardware);
  lease.hostName = RepairByteEscapedUtf8(hostName);
  leases.push_back(std::move(lease));
  return true;
}

bool ReadLeases(const Answer& answer, std::vector<KeaLease>& leases) {
  object arguments;
  array entries;
  if (!answer.arguments || answer.arguments->get(arguments) != simdjson::SUCCESS ||
      !RequiredMember(arguments, "leases", entries)) {
    return false;
  }
  leases.reserve(entries.size());
  for (element entry : entries) {
    if (!ReadLease(entry, leases)) {
      return false;
    }
  }
  return true;
}

// The agent's own answer when the server behind it does not take the command (kea-dhcp4 stopped,
// its socket gone): no connection to the server exists, whatever the agent's answer says.
constexpr std::string_view kUnableToForward = "unable to forward command to the ";

std::uint32_t StatusOfFailedAnswer(const Answer& answer) {
  if (answer.result == kResultError && answer.text.starts_with(kUnableToForward)) {
    return dhcp_status::kRpcServerUnavailable;
  }
  return StatusOfKeaResult(answer.result);
}

// The steps every reply shares; `read` takes the value from a successful answer. A result of
// `noneFound`, when given, is success with an empty value.
template <typename Value, typename Reader>
KeaReply<Value> Decode(const std::string& body, Reader read,
                       std::optional<std::int64_t> noneFound = std::nullopt) {
  KeaReply<Value> reply;
  simdjson::dom::parser parser;
  std::optional<Answer> answer = AnswerOf(parser, body);
  if (!answer) {
    return reply;
  }
  if (answer->result == noneFound) {
    reply.status = dhcp_status::kSuccess;
  } else if (answer->result != kResultSuccess) {
    reply.status = StatusOfFailedAnswer(*answer);
  } else if (read(*answer, reply.value)) {
    reply.status = dhcp_status::kSuccess;
  } else {
    reply.value = Value{};
  }
  return reply;
}

}  // namespace

std::uint32_t StatusOfKeaResult(std::int64_t result) {
  switch (result) {
    case kResultSuccess:
      return dhcp_status::kSuccess;
    case kResultUnsupported:
      return dhcp_status::kNotSupported;
    case kResultUnauthorized:
      return dhcp_status::kAccessDenied;
    default:
      return dhcp_status::kInvalidData;
  }
}

KeaReply<KeaVersion> DecodeVersionReply(const std::string& body) {
  return Decode<KeaVersion>(body, ReadVersion);
}

KeaReply<std::vector<KeaSubnet>> DecodeSubnetsReply(const std::string& body) {
  return Decode<std::vector<KeaSubnet>>(body, ReadSubnets);
}

KeaReply<std::vector<KeaLease>> DecodeLeasesReply(const std::string& body) {
  return Decode<std::vector<KeaLease>>(body, ReadLeases, kResultEmpty);
}

}  // namespace platform::kea
