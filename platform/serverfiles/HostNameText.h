#pragma once

#include <string>
#include <string_view>

namespace platform::serverfiles {

// The host name a server's file holds, as the UTF-8 text of a lease: the bytes up to the first
// NUL (the servers keep names as C strings, so nothing after it was ever the name), each byte
// that is not part of a well-formed UTF-8 sequence replaced by '?'. Well-formed is as Unicode
// defines it: no overlong forms, no surrogates, nothing above U+10FFFF.
std::string HostNameText(std::string_view bytes);

}  // namespace platform::serverfiles
