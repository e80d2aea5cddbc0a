#include "platform/Sockets.h"

#include <winsock2.h>

namespace platform {

void StartSockets() {
  WSADATA data;
  ::WSAStartup(MAKEWORD(2, 0), &data);
}

void StopSockets() {
  ::WSACleanup();
}

}  // namespace platform
