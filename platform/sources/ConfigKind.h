#pragma once

#include <string_view>

namespace platform::sources {

enum class ServerKind { Dhcpd, Dnsmasq };

// Which server a configuration file is written for. dnsmasq's holds one option a line, a bare
// name (`bind-interfaces`) or a name and its value (`dhcp-range=...`, spaces allowed around the
// `=`); dhcpd's holds statements ended by `;` or blocks in braces, and the first of them (a
// `subnet ... {`, `option x y;`, `authoritative;`) already breaks that shape. A file holds
// dnsmasq's options when every line that is not blank or a comment has dnsmasq's shape and one
// line has; anything else is dhcpd's, whose reader then says whether it really is.
ServerKind ServerKindOf(std::string_view configuration);

}  // namespace platform::sources
