#include "platform/dnsmasq/DhcpRange.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/sources/Ipv4Text.h"

namespace platform::dnsmasq {
namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') {
    text.remove_prefix(1);
  }
  while (!text.empty() && text.back() == ' ') {
    text.remove_suffix(1);
  }
  return text;
}

std::vector<std::string_view> FieldsOf(std::string_view value) {
  std::vector<std::string_view> fields;
  for (;;) {
    std::size_t comma = value.find(',');
    fields.push_back(Trimmed(value.substr(0, comma)));
    if (comma == std::string_view::npos) {
      return fields;
    }
    value.remove_prefix(comma + 1);
  }
}

bool CouldBeAddress(std::string_view field) {
  for (char c : field) {
    bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex && c != '.' && c != ':' && c != ' ') {
      return false;
    }
  }
  return true;
}

bool IsMode(std::string_view field) {
  return field == "static" || field == "proxy";
}

}  // namespace

DhcpRange ParseDhcpRange(std::string_view value) {
  std::vector<std::string_view> fields = FieldsOf(value);
  std::size_t at = 0;
  while (at + 1 < fields.size() && !CouldBeAddress(fields[at])) {
    ++at;
  }
  DhcpRange range;
  std::optional<std::uint32_t> start = sources::ParseIpv4Address(fields[at]);
  if (!start) {
    bool ipv6 = fields[at].find(':') != std::string_view::npos && CouldBeAddress(fields[at]);
    range.kind = ipv6 ? DhcpRange::Kind::NotIpv4 : DhcpRange::Kind::Malformed;
    return range;
  }
  if (at + 1 >= fields.size()) {
    return range;
  }
  std::optional<std::uint32_t> end =
      IsMode(fields[at + 1]) ? start : sources::ParseIpv4Address(fields[at + 1]);
  if (!end) {
    return range;
  }
  at += 2;
  if (at < fields.size() && IsMode(fields[at])) {
    ++at;
  }
  if (at < fields.size() && fields[at].find('.') != std::string_view::npos) {
    range.netmask = sources::ParseIpv4Address(fields[at]);
    if (!range.netmask || (*start & *range.netmask) != (*end & *range.netmask)) {
      return range;
    }
  }
  range.kind = DhcpRange::Kind::Ipv4;
  range.start = std::min(*start, *end);
  range.end = std::max(*start, *end);
  return range;
}

}  // namespace platform::dnsmasq
