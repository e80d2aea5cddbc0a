#include "platform/Sockets.h"

namespace platform {

// POSIX sockets need no library start or stop.
void StartSockets() {}
void StopSockets() {}

}  // namespace platform
