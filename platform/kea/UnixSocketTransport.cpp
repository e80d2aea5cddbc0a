#include "platform/kea/UnixSocketTransport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "platform/DhcpStatus.h"
#include "platform/kea/StreamReply.h"

namespace platform::kea {
namespace {

using Clock = std::chrono::steady_clock;

enum class Wait { Ready, Silent, Failed };

// Waits until `events` can be done on the socket, or until `seconds` pass without it; a signal
// that interrupts the wait does not lengthen it.
Wait WaitFor(int descriptor, short events, long seconds) {
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(seconds);
  for (;;) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd watched{descriptor, events, 0};
    int ready = ::poll(&watched, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
    if (ready > 0) {
      return Wait::Ready;
    }
    if (ready == 0) {
      return Wait::Silent;
    }
    if (errno != EINTR) {
      return Wait::Failed;
    }
  }
}

// The reply's bytes as they arrive on the connection.
class SocketSource : public ReplySource {
 public:
  SocketSource(int descriptor, long timeoutSeconds)
      : descriptor_(descriptor), timeoutSeconds_(timeoutSeconds) {}

  ReadOutcome Read(std::span<char> buffer) override {
    for (;;) {
      Wait wait = WaitFor(descriptor_, POLLIN, timeoutSeconds_);
      if (wait != Wait::Ready) {
        return {wait == Wait::Silent ? ReadOutcome::Kind::Silent : ReadOutcome::Kind::Failed};
      }
      ssize_t count = ::recv(descriptor_, buffer.data(), buffer.size(), MSG_DONTWAIT);
      if (count > 0) {
        return {ReadOutcome::Kind::Bytes, static_cast<std::size_t>(count)};
      }
      if (count == 0) {
        return {ReadOutcome::Kind::Closed};
      }
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        return {ReadOutcome::Kind::Failed};
      }
    }
  }

 private:
  int descriptor_;
  long timeoutSeconds_;
};

std::uint32_t SendAll(int descriptor, const std::string& request, long timeoutSeconds) {
  std::size_t sent = 0;
  while (sent < request.size()) {
    Wait wait = WaitFor(descriptor, POLLOUT, timeoutSeconds);
    if (wait != Wait::Ready) {
      return wait == Wait::Silent ? dhcp_status::kTimeout : dhcp_status::kRpcServerUnavailable;
    }
    ssize_t count = ::send(descriptor, request.data() + sent, request.size() - sent,
                           MSG_DONTWAIT | MSG_NOSIGNAL);
    if (count > 0) {
      sent += static_cast<std::size_t>(count);
    } else if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      return dhcp_status::kRpcServerUnavailable;
    }
  }
  return dhcp_status::kSuccess;
}

std::uint32_t StatusOfConnectError(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return dhcp_status::kAccessDenied;
    case EAGAIN:  // the listener's queue stayed full for the whole send timeout
    case EINTR:
      return dhcp_status::kTimeout;
    default:  // ENOENT, ECONNREFUSED, ENOTSOCK, ENOTDIR, EPROTOTYPE, ...
      return dhcp_status::kRpcServerUnavailable;
  }
}

// A blocking connect to a UNIX socket waits for room in the listener's queue for as long as the
// send timeout allows, and no longer; it is retried after a signal with the time that is left.
int ConnectWithin(int descriptor, const sockaddr_un& address, std::chrono::seconds limit) {
  const Clock::time_point deadline = Clock::now() + limit;
  for (;;) {
    auto left = std::chrono::ceil<std::chrono::microseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      return EINTR;
    }
    timeval timeout{static_cast<time_t>(left / 1000000), static_cast<suseconds_t>(left % 1000000)};
    ::setsockopt(descriptor, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
      return 0;
    }
    if (errno != EINTR) {
      return errno;
    }
  }
}

}  // namespace

SocketHandle::~SocketHandle() {
  if (descriptor_ >= 0) {
    ::close(descriptor_);
  }
}

SocketHandle::SocketHandle(SocketHandle&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)) {}

SocketHandle& SocketHandle::operator=(SocketHandle&& other) noexcept {
  if (this != &other) {
    SocketHandle old(std::exchange(descriptor_, std::exchange(other.descriptor_, -1)));
  }
  return *this;
}

UnixConnection ConnectUnixSocket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path ||
      path.find('\0') != std::string::npos) {
    return {dhcp_status::kRpcServerUnavailable, {}};
  }
  std::memcpy(address.sun_path, path.data(), path.size());
  SocketHandle socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket) {
    return {dhcp_status::kRpcServerUnavailable, {}};
  }
  int error =
      ConnectWithin(socket.Descriptor(), address, std::chrono::seconds(kConnectTimeoutSeconds));
  if (error != 0) {
    return {StatusOfConnectError(error), {}};
  }
  return {dhcp_status::kSuccess, std::move(socket)};
}

UnixSocketTransport::UnixSocketTransport(std::string path, const KeaSettings& settings,
                                         SocketHandle opened)
    : path_(std::move(path)),
      timeoutSeconds_(settings.timeoutSeconds),
      opened_(std::move(opened)) {}

TransportReply UnixSocketTransport::Exchange(const std::string& request,
                                             std::size_t maxReplyBytes) {
  SocketHandle socket = std::move(opened_);
  if (!socket) {
    UnixConnection connection = ConnectUnixSocket(path_);
    if (connection.status != dhcp_status::kSuccess) {
      return {connection.status, {}};
    }
    socket = std::move(connection.socket);
  }
  if (std::uint32_t status = SendAll(socket.Descriptor(), request, timeoutSeconds_);
      status != dhcp_status::kSuccess) {
    return {status, {}};
  }
  SocketSource source(socket.Descriptor(), timeoutSeconds_);
  return ReadReplyUntilClosed(source, maxReplyBytes);
}

}  // namespace platform::kea
