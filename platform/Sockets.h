#pragma once

namespace platform {

// The sockets library around the query and the writers; its result is not looked at.
void StartSockets();
void StopSockets();

}  // namespace platform
