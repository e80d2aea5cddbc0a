#include "platform/sources/ConfigKind.h"

#include <cstddef>

namespace platform::sources {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

bool IsOptionNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

// What a line says about the file's server: nothing (blank or a comment), dnsmasq's shape, or
// not.
enum class LineShape { Empty, Dnsmasq, Other };

LineShape ShapeOf(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) {
    ++i;
  }
  if (i == line.size() || line[i] == '#') {
    return LineShape::Empty;
  }
  std::size_t nameStart = i;
  while (i < line.size() && IsOptionNameCharacter(line[i])) {
    ++i;
  }
  if (i == nameStart) {
    return LineShape::Other;
  }
  while (i < line.size() && IsBlank(line[i])) {
    ++i;
  }
  // A bare name may carry a comment after white space, as dnsmasq reads it.
  bool bare = i == line.size() || (line[i] == '#' && IsBlank(line[i - 1]));
  return bare || line[i] == '=' ? LineShape::Dnsmasq : LineShape::Other;
}

}  // namespace

ServerKind ServerKindOf(std::string_view configuration) {
  bool anyOption = false;
  while (!configuration.empty()) {
    std::size_t end = configuration.find('\n');
    std::string_view line = configuration.substr(0, end);
    configuration.remove_prefix(end == std::string_view::npos ? configuration.size() : end + 1);
    switch (ShapeOf(line)) {
      case LineShape::Empty:
        break;
      case LineShape::Dnsmasq:
        anyOption = true;
        break;
      case LineShape::Other:
        return ServerKind::Dhcpd;
    }
  }
  return anyOption ? ServerKind::Dnsmasq : ServerKind::Dhcpd;
}

}  // namespace platform::sources
