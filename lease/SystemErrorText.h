#pragma once

#include <cstdint>
#include <string>

namespace lease {

// The system's text for an error code without its trailing white space, control bytes and full
// stops; empty when the system has none.
std::string SystemErrorText(std::uint32_t code);

}  // namespace lease
