#include "platform/Sockets.h"

#include <winsock2.h>

namespace platform {

bool SocketLibrary::Start() {
  WSADATA data;
  return ::WSAStartup(MAKEWORD(2, 0), &data) == 0;
}

void SocketLibrary::Stop() {
  ::WSACleanup();
}

}  // namespace platform
