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

}  // namespace platform::kea
