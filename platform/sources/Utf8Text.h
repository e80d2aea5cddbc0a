#pragma once

#include <string>
#include <string_view>

namespace platform::sources {

// Host names come as bytes that should be UTF-8: dhcpd's lease file can hold any byte (an octal
// escape), and a client chooses its own name. The DHCP API carries UTF-16, into which bytes that
// are not UTF-8 cannot go as they are.

// Valid UTF-8: every sequence in its shortest form, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// The text with each byte that does not belong to a valid UTF-8 sequence replaced by '?', one for
// one; valid sequences stay as they are.
std::string ValidUtf8(std::string_view text);

// The host name that a server's file holds, as the text of a lease: the bytes up to the first NUL
// (the servers keep names as C strings, so nothing after it was ever the name), made ValidUtf8.
std::string HostNameText(std::string_view bytes);

}  // namespace platform::sources
