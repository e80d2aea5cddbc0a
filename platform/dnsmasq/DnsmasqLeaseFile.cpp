#include "platform/dnsmasq/DnsmasqLeaseFile.h"

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/sources/Ipv4Text.h"
#include "platform/sources/Utf8Text.h"

namespace platform::dnsmasq {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// The first fields of a line, split at runs of white space; what follows them is not needed.
std::size_t SplitFields(std::string_view line, std::array<std::string_view, 5>& fields) {
  std::size_t count = 0;
  std::size_t at = 0;
  while (count < fields.size()) {
    while (at < line.size() && IsSpace(line[at])) {
      ++at;
    }
    if (at == line.size()) {
      break;
    }
    std::size_t start = at;
    while (at < line.size() && !IsSpace(line[at])) {
      ++at;
    }
    fields[count++] = line.substr(start, at - start);
  }
  return count;
}

bool IsNumber(std::string_view text) {
  if (text.empty()) {
    return false;
  }
  for (char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
  }
  return true;
}

// Epoch seconds of up to 18 digits (more would leave an int64); 0 never ends.
std::optional<std::optional<std::uint64_t>> ExpiryOf(std::string_view text) {
  if (text.size() > 18) {
    return std::nullopt;
  }
  std::uint64_t seconds = 0;
  for (char c : text) {
    seconds = seconds * 10 + (c - '0');
  }
  return seconds == 0 ? std::optional<std::uint64_t>() : std::optional<std::uint64_t>(seconds);
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The bytes of a MAC field: after a hardware type prefix of one to four hex digits and a `-`,
// when there is one.
std::optional<std::vector<std::uint8_t>> HardwareOf(std::string_view text) {
  std::size_t dash = text.find('-');
  if (dash != std::string_view::npos) {
    if (dash == 0 || dash > 4) {
      return std::nullopt;
    }
    for (std::size_t i = 0; i < dash; ++i) {
      if (!IsHexDigit(text[i])) {
        return std::nullopt;
      }
    }
    text.remove_prefix(dash + 1);
  }
  std::optional<std::vector<std::uint8_t>> bytes = sources::ParseHardwareAddress(text);
  if (!bytes || bytes->size() > sources::kLongestHardwareAddress) {
    return std::nullopt;
  }
  return bytes;
}

}  // namespace

bool DnsmasqLeaseReader::Take(std::string_view chunk) {
  while (!failed_ && !chunk.empty()) {
    std::size_t end = chunk.find('\n');
    if (end == std::string_view::npos) {
      failed_ = partial_.size() + chunk.size() > kLongestLeaseLine;
      if (!failed_) {
        partial_.append(chunk);
      }
      break;
    }
    if (partial_.empty()) {
      failed_ = !TakeLine(chunk.substr(0, end));
    } else {
      partial_.append(chunk.substr(0, end));
      failed_ = !TakeLine(partial_);
      partial_.clear();
    }
    chunk.remove_prefix(end + 1);
  }
  return !failed_;
}

std::optional<sources::LeaseTable> DnsmasqLeaseReader::Finish() && {
  if (!failed_ && !partial_.empty()) {
    failed_ = !TakeLine(partial_);
  }
  if (failed_) {
    return std::nullopt;
  }
  return std::move(leases_).Finish();
}

bool DnsmasqLeaseReader::TakeLine(std::string_view line) {
  if (line.size() > kLongestLeaseLine) {
    return false;
  }
  std::array<std::string_view, 5> fields;
  std::size_t count = SplitFields(line, fields);
  if (count < 3 || !IsNumber(fields[0])) {
    return true;
  }
  std::optional<std::uint32_t> address = sources::ParseIpv4Address(fields[2]);
  if (!address) {
    return true;
  }
  std::optional<std::optional<std::uint64_t>> expiry = ExpiryOf(fields[0]);
  std::optional<std::vector<std::uint8_t>> hardware = HardwareOf(fields[1]);
  if (!expiry || !hardware || count < 4) {
    return false;
  }
  std::string name = fields[3] == "*" ? std::string() : sources::HostNameText(fields[3]);
  leases_.Set(*address, *hardware, name, *expiry);
  return true;
}

std::optional<sources::LeaseTable> ParseDnsmasqLeases(std::string_view file) {
  DnsmasqLeaseReader reader;
  reader.Take(file);
  return std::move(reader).Finish();
}

}  // namespace platform::dnsmasq
