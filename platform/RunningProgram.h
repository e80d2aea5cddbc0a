#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

// Whether process `pid` is alive (not ended, not a zombie) and runs the program `name`: its
// command name as the system keeps it (the file name it was started from, cut at 15 bytes), so
// that a pid that a stale pid file names and that the system has since given to another program
// is not taken for the server. A process of another user counts. Where the command name cannot
// be read (no /proc, or hidden from this user), a live process counts. Only the POSIX build has
// it.
bool IsProgramRunning(std::uint32_t pid, std::string_view name);

}  // namespace platform
