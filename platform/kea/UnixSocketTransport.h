#pragma once

#include <cstdint>
#include <string>

#include "platform/kea/KeaSettings.h"
#include "platform/kea/KeaTransport.h"

namespace platform::kea {

// A socket descriptor, closed when its holder goes.
class SocketHandle {
 public:
  SocketHandle() = default;
  explicit SocketHandle(int descriptor) : descriptor_(descriptor) {}
  ~SocketHandle();
  SocketHandle(SocketHandle&& other) noexcept;
  SocketHandle& operator=(SocketHandle&& other) noexcept;

  int Descriptor() const { return descriptor_; }
  explicit operator bool() const { return descriptor_ >= 0; }

 private:
  int descriptor_ = -1;
};

struct UnixConnection {
  std::uint32_t status = 0;  // a DHCP API status; kSuccess when `socket` is connected
  SocketHandle socket;
};

// A connection to the UNIX stream socket at `path`, made within kConnectTimeoutSeconds. File
// permissions are the socket's only guard: a socket that may not be opened is kAccessDenied; one
// that is missing, not a socket, not listening, or a path too long for a socket address is
// kRpcServerUnavailable; a listener that does not take the connection in time is kTimeout.
UnixConnection ConnectUnixSocket(const std::string& path);

// kea-dhcp4's own UNIX control socket: one connection per command, which the server closes after
// its answer. The bounds are those of HTTP: kConnectTimeoutSeconds to connect, the settings'
// no-progress limit in either direction, the caller's size bound and kMaxJsonDepth for the reply.
class UnixSocketTransport : public KeaTransport {
 public:
  // `opened`, when given, is a connection to `path` already made; the first command uses it.
  UnixSocketTransport(std::string path, const KeaSettings& settings, SocketHandle opened = {});

  TransportReply Exchange(const std::string& request, std::size_t maxReplyBytes) override;
  bool NamesService() const override { return false; }

 private:
  std::string path_;
  long timeoutSeconds_;
  SocketHandle opened_;
};

}  // namespace platform::kea
