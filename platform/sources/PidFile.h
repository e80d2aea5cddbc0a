#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/sources/ConfigFiles.h"

namespace platform::sources {

// The process id that a pid file holds: decimal digits, then nothing but white space (dhcpd and
// dnsmasq write "PID\n"); none for anything else, 0 and ids past what the system gives included.
std::optional<std::uint32_t> PidOfPidFile(std::string_view text);

// Whether one of the pid files (read through `files`; empty paths and files that cannot be read
// are passed over) names a live process of the program called `program`: a server that is
// running, not one that is installed, or stopped and left its pid file behind.
bool PidFileNamesRunningProgram(const ConfigFiles& files, std::span<const std::string> pidFiles,
                                std::string_view program);

}  // namespace platform::sources
