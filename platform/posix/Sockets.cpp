#include "platform/Sockets.h"

namespace platform {

// POSIX sockets need no library start or stop.
bool SocketLibrary::Start() {
  return false;
}
void SocketLibrary::Stop() {}

}  // namespace platform
