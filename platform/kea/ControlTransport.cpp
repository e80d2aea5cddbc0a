#include "platform/kea/ControlTransport.h"

#include "platform/DhcpStatus.h"
#include "platform/kea/HttpTransport.h"
#include "platform/kea/UnixSocketTransport.h"

namespace platform::kea {

std::unique_ptr<KeaTransport> OpenControlTransport(const ControlEndpoint& endpoint,
                                                   const KeaSettings& settings) {
  if (endpoint.url.empty()) {
    return std::make_unique<UnixSocketTransport>(endpoint.socketPath, settings);
  }
  if (!endpoint.socketPath.empty()) {
    UnixConnection local = ConnectUnixSocket(endpoint.socketPath);
    if (local.status == dhcp_status::kSuccess) {
      return std::make_unique<UnixSocketTransport>(endpoint.socketPath, settings,
                                                   std::move(local.socket));
    }
  }
  return std::make_unique<HttpTransport>(endpoint.url, settings);
}

}  // namespace platform::kea
