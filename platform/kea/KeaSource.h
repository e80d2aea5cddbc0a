#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kea/KeaClient.h"
#include "platform/kea/KeaEndpoint.h"
#include "platform/kea/WindowedPages.h"
#include "platform/sources/LeaseSource.h"

namespace platform::kea {

// A Kea server as a source of leases, through its control API: version-get, config-get (the
// subnets of Dhcp4.subnet4 and of every shared network, in that order), and each range read with
// lease4-get-page, which Kea answers from memfile and SQL lease databases alike. Where the
// transport takes requests side by side (HTTP and HTTPS), pages of a range and of the ranges that
// follow are asked for side by side, so that the round trips of a distant server overlap; over
// kea-dhcp4's UNIX socket, on the server itself, one page follows the other.
class KeaSource : public sources::LeaseSource {
 public:
  explicit KeaSource(std::unique_ptr<KeaTransport> transport);

  sources::SourceReply<sources::SourceVersion> GetVersion() override;
  sources::SourceReply<std::vector<sources::Ipv4Prefix>> GetSubnets() override;
  std::unique_ptr<sources::LeaseCursor> ReadRange(
      sources::AddressRange range, std::span<const sources::AddressRange> following) override;

 private:
  WindowedPages& Windowed(ConcurrentExchange& exchange);
  void StopReadingAhead();

  KeaClient client_;
  std::unique_ptr<WindowedPages> windowed_;  // once ranges are read side by side
};

// The Kea source that the server text names (KeaEndpoint.h, the default's local socket being
// `localSocket`; none when it is empty), with the transport chosen and the settings of the
// environment read now; null when the text names no endpoint.
std::unique_ptr<sources::LeaseSource> OpenKeaSource(
    std::string_view server, std::string_view localSocket = kLocalControlSocket);

// The Kea source over kea-dhcp4's UNIX control socket at `socketPath` when the socket accepts a
// connection now (the connection is kept for the first command): a running Kea. Null otherwise.
std::unique_ptr<sources::LeaseSource> OpenRunningLocalKea(const std::string& socketPath);

}  // namespace platform::kea
