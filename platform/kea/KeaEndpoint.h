#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform::kea {

// Kea's control agent listens on this port unless configured otherwise.
inline constexpr std::string_view kDefaultControlPort = "8000";

// The URL of the control endpoint that the server text names: "host" is http://host:8000/,
// "host:port" and "[v6-address]:port" name their port, and a text starting with http:// or
// https:// is taken as it stands unless it carries user information ("user:password@"). Nothing
// when the text cannot name a host, so that no part of it is ever read as credentials, a path or
// a query.
std::optional<std::string> ControlEndpointUrl(std::string_view server);

// kea-dhcp4's UNIX control socket where the Debian and Ubuntu packages put it.
inline constexpr std::string_view kLocalControlSocket = "/run/kea/kea4-ctrl-socket";

// The default answer, "127.0.0.1" or "localhost" (in any case) without a port: the server on this
// machine, wherever it listens.
bool IsLocalDefaultServer(std::string_view server);

// Where the commands go: kea-dhcp4's UNIX socket, an HTTP(S) endpoint, or, when both are given,
// the socket if it can be opened and otherwise the HTTP endpoint.
struct ControlEndpoint {
  std::string socketPath;  // empty: none
  std::string url;         // empty: none

  bool operator==(const ControlEndpoint&) const = default;
};

// The endpoint of the server text: an absolute path names kea-dhcp4's UNIX socket; the default
// "127.0.0.1" (or "localhost") without a port names `localSocket` first and then Kea's default
// HTTP port on that host; any other text names what ControlEndpointUrl makes of it, exactly as
// typed. Nothing when the text names no endpoint.
std::optional<ControlEndpoint> ControlEndpointOf(
    std::string_view server, std::string_view localSocket = kLocalControlSocket);

}  // namespace platform::kea
