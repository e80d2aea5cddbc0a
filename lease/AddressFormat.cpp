#include "lease/AddressFormat.h"

#include <array>

namespace lease {

// Both are made in a local buffer and copied into the string once: the query formats two of them
// for every lease of the server.

std::string FormatIpAddress(std::uint32_t address) {
  std::array<char, 15> text;
  std::size_t length = 0;
  for (int shift = 24; shift >= 0; shift -= 8) {
    unsigned part = (address >> shift) & 0xFF;
    if (part >= 100) {
      text[length++] = static_cast<char>('0' + part / 100);
    }
    if (part >= 10) {
      text[length++] = static_cast<char>('0' + part / 10 % 10);
    }
    text[length++] = static_cast<char>('0' + part % 10);
    if (shift > 0) {
      text[length++] = '.';
    }
  }
  return std::string(text.data(), length);
}

std::string FormatHardwareAddress(std::uint32_t length, const std::uint8_t* bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  if (length == 0) {
    return std::string();
  }
  std::string text(std::size_t{length} * 3 - 1, '-');
  for (std::uint32_t i = 0; i < length; ++i) {
    text[std::size_t{i} * 3] = kDigits[bytes[i] >> 4];
    text[std::size_t{i} * 3 + 1] = kDigits[bytes[i] & 0xF];
  }
  return text;
}

}  // namespace lease
