#include "lease/AddressFormat.h"

namespace lease {

std::string FormatIpAddress(std::uint32_t address) {
  std::string text;
  text.reserve(15);
  for (int shift = 24; shift >= 0; shift -= 8) {
    unsigned part = (address >> shift) & 0xFF;
    if (part >= 100) {
      text += static_cast<char>('0' + part / 100);
    }
    if (part >= 10) {
      text += static_cast<char>('0' + part / 10 % 10);
    }
    text += static_cast<char>('0' + part % 10);
    if (shift > 0) {
      text += '.';
    }
  }
  return text;
}

std::string FormatHardwareAddress(std::uint32_t length, const std::uint8_t* bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  if (length == 0) {
    return text;
  }
  text.reserve(std::size_t{length} * 3 - 1);
  for (std::uint32_t i = 0; i < length; ++i) {
    if (i > 0) {
      text += '-';
    }
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0xF];
  }
  return text;
}

}  // namespace lease
