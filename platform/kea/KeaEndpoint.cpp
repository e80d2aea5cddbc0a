#include "platform/kea/KeaEndpoint.h"

#include <algorithm>

namespace platform::kea {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
           return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
         });
}

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Letters, digits, '-', '.', '_' and the bytes of non-ASCII (international) names.
bool IsHostName(std::string_view host) {
  return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
    return IsAsciiAlnum(c) || c == '-' || c == '.' || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
  });
}

bool IsIpv6Address(std::string_view host) {
  return host.find(':') != std::string_view::npos &&
         std::all_of(host.begin(), host.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') ||
                  c == ':' || c == '.';
         });
}

bool IsPort(std::string_view port) {
  if (port.empty() || port.size() > 5 || port.front() == '0' ||
      !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  return std::stoul(std::string(port)) <= 65535;
}

std::string UrlOf(std::string_view host, std::string_view port) {
  std::string url = "http://";
  url.append(host).append(":").append(port).append("/");
  return url;
}

// "[v6]" or "[v6]:port".
std::optional<std::string> BracketedEndpoint(std::string_view server) {
  std::size_t close = server.find(']');
  if (close == std::string_view::npos || !IsIpv6Address(server.substr(1, close - 1))) {
    return std::nullopt;
  }
  std::string_view host = server.substr(0, close + 1);
  std::string_view rest = server.substr(close + 1);
  if (rest.empty()) {
    return UrlOf(host, kDefaultControlPort);
  }
  if (rest.front() != ':' || !IsPort(rest.substr(1))) {
    return std::nullopt;
  }
  return UrlOf(host, rest.substr(1));
}

// A URL whose authority holds user information: the answer is echoed on the console, so a
// password typed there would be shown, and credentials come from the environment alone. curl
// takes "http:///host" for "http://host", so the authority starts after every slash.
bool HasUserInformation(std::string_view url) {
  std::string_view rest = url.substr(url.find("://") + 3);
  rest.remove_prefix(std::min(rest.find_first_not_of('/'), rest.size()));
  std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  return authority.find('@') != std::string_view::npos;
}

}  // namespace

std::optional<std::string> ControlEndpointUrl(std::string_view server) {
  if (StartsWithNoCase(server, "http://") || StartsWithNoCase(server, "https://")) {
    if (HasUserInformation(server)) {
      return std::nullopt;
    }
    return std::string(server);
  }
  if (!server.empty() && server.front() == '[') {
    return BracketedEndpoint(server);
  }
  std::size_t colon = server.find(':');
  if (colon == std::string_view::npos) {
    return IsHostName(server) ? std::optional(UrlOf(server, kDefaultControlPort)) : std::nullopt;
  }
  if (server.find(':', colon + 1) != std::string_view::npos) {
    // More than one colon: an IPv6 address written without brackets or port.
    if (!IsIpv6Address(server)) {
      return std::nullopt;
    }
    std::string bracketed = "[";
    bracketed.append(server).append("]");
    return UrlOf(bracketed, kDefaultControlPort);
  }
  std::string_view host = server.substr(0, colon);
  std::string_view port = server.substr(colon + 1);
  if (!IsHostName(host) || !IsPort(port)) {
    return std::nullopt;
  }
  return UrlOf(host, port);
}

bool IsLocalDefaultServer(std::string_view server) {
  return server == "127.0.0.1" || (server.size() == 9 && StartsWithNoCase(server, "localhost"));
}

std::optional<ControlEndpoint> ControlEndpointOf(std::string_view server,
                                                 std::string_view localSocket) {
  if (!server.empty() && server.front() == '/') {
    return ControlEndpoint{std::string(server), {}};
  }
  std::optional<std::string> url = ControlEndpointUrl(server);
  if (!url) {
    return std::nullopt;
  }
  return ControlEndpoint{IsLocalDefaultServer(server) ? std::string(localSocket) : std::string(),
                         *std::move(url)};
}

}  // namespace platform::kea
