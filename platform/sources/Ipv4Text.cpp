#include "platform/sources/Ipv4Text.h"

namespace platform::sources {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A decimal number of one to `maxDigits` digits at the front of `text`, consumed.
std::optional<unsigned> TakeDecimal(std::string_view& text, std::size_t maxDigits) {
  std::size_t digits = 0;
  unsigned value = 0;
  while (digits < text.size() && IsDigit(text[digits])) {
    if (++digits > maxDigits) {
      return std::nullopt;
    }
    value = value * 10 + static_cast<unsigned>(text[digits - 1] - '0');
  }
  if (digits == 0) {
    return std::nullopt;
  }
  text.remove_prefix(digits);
  return value;
}

}  // namespace

int HexValue(char c) {
  if (IsDigit(c)) {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

std::optional<std::uint32_t> ParseIpv4Address(std::string_view text) {
  std::uint32_t address = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (text.empty() || text.front() != '.') {
        return std::nullopt;
      }
      text.remove_prefix(1);
    }
    std::optional<unsigned> number = TakeDecimal(text, 3);
    if (!number || *number > 255) {
      return std::nullopt;
    }
    address = (address << 8) | *number;
  }
  if (!text.empty()) {
    return std::nullopt;
  }
  return address;
}

std::string FormatIpv4Address(std::uint32_t address) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    text += std::to_string((address >> shift) & 0xFF);
    if (shift > 0) {
      text += '.';
    }
  }
  return text;
}

std::optional<Ipv4Prefix> ParseIpv4Prefix(std::string_view text) {
  std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) {
    return std::nullopt;
  }
  std::optional<std::uint32_t> address = ParseIpv4Address(text.substr(0, slash));
  std::string_view lengthText = text.substr(slash + 1);
  std::optional<unsigned> length = TakeDecimal(lengthText, 2);
  if (!address || !length || *length > 32 || !lengthText.empty()) {
    return std::nullopt;
  }
  return Ipv4Prefix{*address, static_cast<std::uint8_t>(*length)};
}

std::uint32_t MaskOfPrefixLength(std::uint8_t length) {
  if (length == 0) {
    return 0;
  }
  if (length >= 32) {
    return 0xFFFFFFFFu;
  }
  return ~((std::uint32_t{1} << (32 - length)) - 1);
}

std::optional<std::uint8_t> PrefixLengthOfNetmask(std::uint32_t mask) {
  std::uint8_t length = 0;
  while (length < 32 && (mask & (0x80000000u >> length)) != 0) {
    ++length;
  }
  if (mask != MaskOfPrefixLength(length)) {
    return std::nullopt;
  }
  return length;
}

Ipv4Prefix NetworkOf(Ipv4Prefix prefix) {
  return Ipv4Prefix{prefix.address & MaskOfPrefixLength(prefix.length), prefix.length};
}

std::uint32_t LastAddressOf(Ipv4Prefix prefix) {
  return prefix.address | ~MaskOfPrefixLength(prefix.length);
}

namespace {

// Hands each byte of a hardware address text to `put`, which returns false when it has no room
// for it; false when the text is not of that form or did not fit.
template <typename Put>
bool ParseHexBytes(std::string_view text, Put&& put) {
  if (text.empty()) {
    return true;
  }
  for (;;) {
    std::size_t digits = 0;
    unsigned value = 0;
    while (digits < text.size() && digits < 3 && HexValue(text[digits]) >= 0) {
      value = value * 16 + static_cast<unsigned>(HexValue(text[digits]));
      ++digits;
    }
    if (digits == 0 || digits > 2 || !put(static_cast<std::uint8_t>(value))) {
      return false;
    }
    text.remove_prefix(digits);
    if (text.empty()) {
      return true;
    }
    if (text.front() != ':') {
      return false;
    }
    text.remove_prefix(1);
  }
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ParseHardwareAddress(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 3 + 1);
  if (!ParseHexBytes(text, [&](std::uint8_t byte) {
        bytes.push_back(byte);
        return true;
      })) {
    return std::nullopt;
  }
  return bytes;
}

std::optional<std::size_t> ParseHardwareAddress(std::string_view text,
                                                std::span<std::uint8_t> bytes) {
  std::size_t count = 0;
  if (!ParseHexBytes(text, [&](std::uint8_t byte) {
        if (count == bytes.size()) {
          return false;
        }
        bytes[count++] = byte;
        return true;
      })) {
    return std::nullopt;
  }
  return count;
}

}  // namespace platform::sources
